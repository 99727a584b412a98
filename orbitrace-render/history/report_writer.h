// What a report writer is given, and the interface each format's writer
// (history_html, history_pdf) implements. The report opens a writer and
// feeds it; a writer never calls back into the report.
#pragma once

#include "orbitrace-render/history/flag_rules.h"
#include "orbitrace-render/history/read_settings.h"
#include "orbitrace-render/history/report_text.h"
#include "orbitrace-render/sketch_cairo.h"

#include <string>
#include <vector>

struct HistoryOptions {
  FlagThresholds thresholds;
  RenderOptions render;
  ReadSettings read;
};

// Visit dates per row of sketches, in the page and the PDF alike.
enum { kBandColumns = 6 };

// A report being written, section after section.
class ReportWriter {
public:
  virtual ~ReportWriter() {}
  virtual void Summary(const ReportSummary &summary) = 0;
  virtual void Patient(int section, const PatientHistory &history,
                       const std::vector<VisitColumn> &columns,
                       const std::vector<Flag> &flags) = 0;
  // Closes the file; false with a reason when it could not be written.
  virtual bool Finish(std::string *error) = 0;
};
