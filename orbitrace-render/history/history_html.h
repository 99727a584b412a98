// The report as one self-contained web page.
#pragma once

#include "orbitrace-render/history/report_writer.h"

#include <memory>
#include <string>

// Beyond this many patients the report is an index page with a folder of
// pages beside it, named after the report ("r.html", "r-pages/").
enum { kSinglePagePatients = 500 };
// A page starts a new one once it is this large, between patients.
const long kPageBytes = 2 << 20;

// A writer of the page at `path`, which is renamed to `output` once
// finished; null with the reason when it cannot be opened. The folder of
// pages is put in place by Finish; a writer destroyed unfinished leaves
// none.
std::unique_ptr<ReportWriter> OpenHtmlReport(const std::string &path,
                                             const std::string &output,
                                             const HistoryOptions &options,
                                             std::string *error);
