// The visit-history report: from an export of stored values to one web
// page or PDF with a summary and a section per patient.
#pragma once

#include "orbitrace-render/history/flag_rules.h"
#include "orbitrace-render/history/read_settings.h"
#include "orbitrace-render/history/visit_spool.h"
#include "orbitrace-render/render_cli.h"
#include "orbitrace-render/sketch_cairo.h"

#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include <time.h>

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

// The whole report from `csv` into `output` (".html", ".htm" or ".pdf").
// Bad rows are told on `err` and listed in the summary. Returns kExitOk,
// kExitFailed when a row was left out or the report could not be made
// (then no report is left behind), or kExitUsage when a --patient ID is
// not in the file (then no report is made). `sketches` gets the number drawn.
int MakeHistoryReport(std::istream &csv, const std::string &source,
                      const std::string &output, const HistoryOptions &options,
                      ProgressBar *progress, std::ostream &err, long *sketches);

// True when the command line asks for a report or its benchmark.
bool IsHistoryCommand(int argc, const char *const *argv);

// The command line of the report and its benchmark.
int HistoryMain(int argc, const char *const *argv, std::istream &in,
                std::ostream &out, std::ostream &err);

// The report's part of the help text.
extern const char kHistoryUsage[];

// Times the report against --batch on the same values (history_bench.cpp).
int BenchHistory(const std::string &csvPath, const HistoryOptions &options,
                 std::ostream &out, std::ostream &err);
