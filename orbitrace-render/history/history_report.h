// The visit-history report: from an export of stored values to one web
// page or PDF with a summary and a section per patient.
#pragma once

#include "orbitrace-render/history/flag_rules.h"
#include "orbitrace-render/history/read_settings.h"
#include "orbitrace-render/history/visit_spool.h"
#include "orbitrace-render/sketch_cairo.h"

#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include <time.h>

class Status;

struct HistoryOptions {
  FlagThresholds thresholds;
  RenderOptions render;
  ReadSettings read;
};

// The summary goes first, so it is known before any section is written.
struct ReportSummary {
  std::string source; // the input's name
  time_t made = 0;    // when the report was made
  long patients = 0;
  long visits = 0;   // dates a patient was seen, one or both eyes
  long sketches = 0; // eyes seen: one per good row
  struct Flagged {
    int section; // 1 for the first patient
    std::string patient;
    std::vector<std::string> labels;
  };
  std::vector<Flagged> flagged;
  std::vector<VisitProblem> problems; // the first kListedProblems
  long problemCount = 0;
};

enum { kListedProblems = 50 };

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

std::unique_ptr<ReportWriter> OpenHtmlReport(const std::string &path,
                                             const HistoryOptions &options,
                                             std::string *error);
std::unique_ptr<ReportWriter> OpenPdfReport(const std::string &path,
                                            const HistoryOptions &options,
                                            std::string *error);

// "What the flags measure", for the summary of either format.
std::string FlagsExplained(const FlagThresholds &thresholds);

// The summary's wording, the same in either format: its rows of counts
// (patients, visits, flagged, rows left out), its headings, and a line per
// row left out.
struct SummaryRow {
  std::string label, value;
};
std::vector<SummaryRow> SummaryRows(const ReportSummary &summary);
extern const char kFlaggedHeading[];
extern const char kLeftOutHeading[];
extern const char kNoFlaggedChange[]; // a patient's section without flags
std::string LeftOutLine(const VisitProblem &problem);
// The rows left out beyond those listed, or "" when all are.
std::string LeftOutBeyondList(const ReportSummary &summary);
// "3 visits, 2019-05-01 to 2021-05-01" ("0 visits" without dates).
std::string VisitsSeen(const std::vector<VisitColumn> &columns);

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
