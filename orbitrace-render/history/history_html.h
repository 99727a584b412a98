// The report as one self-contained web page.
#pragma once

#include "orbitrace-render/history/report_writer.h"

#include <memory>
#include <string>

// A writer of the page at `path`; null with the reason when it cannot be
// opened.
std::unique_ptr<ReportWriter> OpenHtmlReport(const std::string &path,
                                             const HistoryOptions &options,
                                             std::string *error);
