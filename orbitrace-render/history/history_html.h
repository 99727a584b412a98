// The report as one self-contained web page.
#pragma once

#include "orbitrace-render/history/report_writer.h"

#include <memory>
#include <string>

// Beyond this many patients, or sketches (about 50 MB as one page), the
// report is an index page with a folder of pages beside it, named after
// the report ("r.html", "r-pages/").
enum { kSinglePagePatients = 500, kSinglePageSketches = 10000 };
// A page starts a new one once it is this large, between patients or
// between one patient's bands of sketches.
const long kPageBytes = 2 << 20;

// Whether the report of the first reading's counts is split into pages.
bool ReportInPages(const ReportSummary &summary);

class OutputFile;

// A writer of the page into `file`, which it closes when finished; the
// caller puts it in place. The folder of pages is put in place by Finish;
// a writer destroyed unfinished leaves none.
std::unique_ptr<ReportWriter> OpenHtmlReport(OutputFile *file,
                                             const HistoryOptions &options);
