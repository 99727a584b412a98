// The report as a PDF of A4 pages.
#pragma once

#include "orbitrace-render/history/report_writer.h"

#include <memory>
#include <string>

// A writer of the PDF at `path`; null with the reason when it cannot be
// opened.
std::unique_ptr<ReportWriter> OpenPdfReport(const std::string &path,
                                            const HistoryOptions &options,
                                            std::string *error);
