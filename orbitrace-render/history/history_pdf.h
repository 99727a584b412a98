// The report as a PDF of A4 pages.
#pragma once

#include "orbitrace-render/history/report_writer.h"

#include <memory>
#include <string>

class OutputFile;

// A writer of the PDF into `file`, which it flushes and closes when
// finished; null with the reason when it cannot be opened.
std::unique_ptr<ReportWriter> OpenPdfReport(OutputFile *file,
                                            const HistoryOptions &options,
                                            std::string *error);
