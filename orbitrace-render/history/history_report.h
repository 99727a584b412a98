// The visit-history report: from an export of stored values to one web
// page or PDF with a summary and a section per patient.
#pragma once

#include "orbitrace-render/history/report_writer.h"

#include <iosfwd>
#include <string>
#include <vector>

#include <time.h>

class Status;

enum class ReportFormat { kHtml, kPdf };

// From the report's name: ".html", ".htm" or ".pdf", any case.
bool ReportFormatForName(const std::string &name, ReportFormat *format);

struct ReportResult {
  bool made = false;
  std::string failure; // why no report was made
  // The patients asked for that no row names; then no report is made.
  std::vector<std::string> missingPatients;
  long sketches = 0; // drawn in the report
  long leftOut = 0;  // rows left out of it
};

// The whole report from `csv` into `output` (see ReportFormatForName).
// Each bad row goes to `status` and into the summary's list. When the
// report cannot be made, no file is left behind and an earlier report of
// that name stays as it was.
ReportResult MakeHistoryReport(std::istream &csv, const std::string &source,
                               const std::string &output,
                               const HistoryOptions &options, Status *status);
