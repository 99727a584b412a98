#include "orbitrace-render/history/history_report.h"

#include "orbitrace-render/history/history_html.h"
#include "orbitrace-render/history/history_pdf.h"
#include "orbitrace-render/history/spool_start.h"
#include "orbitrace-render/output_file.h"
#include "orbitrace-render/status.h"

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <memory>

bool ReportFormatForName(const std::string &name, ReportFormat *format) {
  const std::string ext = LowerExtension(name);
  if (ext != "html" && ext != "htm" && ext != "pdf")
    return false;
  *format = ext == "pdf" ? ReportFormat::kPdf : ReportFormat::kHtml;
  return true;
}

namespace {

// One patient's history ready to show: visits in date order, each
// repeated row given to `repeated` as it is read rather than kept.
bool NextPatient(VisitSpool *spool, PatientHistory *history,
                 const std::function<void(const DuplicateVisit &)> &repeated) {
  if (!ReadNextPatient(spool, history, repeated))
    return false;
  std::vector<DuplicateVisit> none;
  OrderVisits(history, &none);
  return true;
}

// First reading: counts, repeated rows and flags for the summary.
void Summarize(VisitSpool *spool, const FlagThresholds &thresholds,
               const std::function<void(const VisitProblem &)> &problem,
               ReportSummary *summary) {
  PatientHistory history;
  int section = 0;
  while (NextPatient(spool, &history, [&](const DuplicateVisit &d) {
    problem(VisitProblem{d.line, RepeatReason(d)});
  })) {
    ++section;
    summary->visits += static_cast<long>(AlignByDate(history).size());
    summary->sketches +=
        static_cast<long>(history.eyes[0].size() + history.eyes[1].size());
    const std::vector<Flag> flags = FindFlags(history, thresholds);
    if (!flags.empty()) {
      ReportSummary::Flagged f{section, PatientHeading(history), {}};
      for (const Flag &flag : flags)
        f.labels.push_back(FlagLabel(flag, thresholds));
      summary->flagged.push_back(f);
    }
  }
  summary->patients = section;
}

// The writer of the format the output's name asks for, writing to `file`;
// null, with the reason in `error`, when either cannot be opened.
std::unique_ptr<ReportWriter> OpenWriter(OutputFile *file,
                                         const std::string &output,
                                         const HistoryOptions &options,
                                         std::string *error) {
  if (!file->Open(output, error))
    return nullptr;
  ReportFormat format = ReportFormat::kHtml;
  ReportFormatForName(output, &format);
  return format == ReportFormat::kPdf ? OpenPdfReport(file, options, error)
                                      : OpenHtmlReport(file, options);
}

// Second reading: the sections. False when the spool gives back fewer
// patients than the first reading found.
bool WriteSections(VisitSpool *spool, const HistoryOptions &options,
                   const ReportSummary &summary, ReportWriter *writer,
                   Status *status, long *sketches) {
  status->SetTotal(summary.sketches);
  RewindSpool(spool);
  PatientHistory history;
  int section = 0;
  while (NextPatient(spool, &history, [](const DuplicateVisit &) {})) {
    writer->Patient(++section, history, AlignByDate(history),
                    FindFlags(history, options.thresholds));
    *sketches +=
        static_cast<long>(history.eyes[0].size() + history.eyes[1].size());
    status->Update(*sketches);
  }
  status->Finish();
  return section == summary.patients;
}

// The report from a spool read whole: written beside the output and put in
// place when complete, so a failed run leaves an earlier report as it was.
void WriteReport(VisitSpool *spool, const std::string &output,
                 const HistoryOptions &options, const ReportSummary &summary,
                 Status *status, ReportResult *result) {
  OutputFile file;
  std::string error;
  std::unique_ptr<ReportWriter> writer =
      OpenWriter(&file, output, options, &error);
  if (!writer) {
    result->failure = error;
    return;
  }
  writer->Summary(summary);
  const bool complete = WriteSections(spool, options, summary, writer.get(),
                                      status, &result->sketches);
  // Finish puts a web report's folder of pages in place: only for a whole
  // report.
  bool written = complete && writer->Finish(&error);
  if (!complete)
    error = "cannot read back a temporary file";
  if (written && !file.Commit(&error))
    written = false;
  if (!written) {
    writer.reset();
    file.Discard();
    result->failure = error + "; no report made";
    return;
  }
  result->made = true;
  result->leftOut = summary.problemCount;
}

} // namespace

ReportResult MakeHistoryReport(std::istream &csv, const std::string &source,
                               const std::string &output,
                               const HistoryOptions &options, Status *status) {
  ReportResult result;
  ReportSummary summary;
  summary.source = source;
  summary.made = time(nullptr);
  auto problem = [&](const VisitProblem &p) {
    status->Message(ProblemMessage(source, p));
    AddProblem(&summary, p);
  };

  VisitSpool spool;
  std::string error;
  if (!StartSpool(csv, source, options.read, problem, status, &spool, &error,
                  &result.missingPatients)) {
    if (!error.empty())
      result.failure = error + "; no report made";
    return result;
  }
  summary.read = spool.read;
  Summarize(&spool, options.thresholds, problem, &summary);
  WriteReport(&spool, output, options, summary, status, &result);
  CloseSpool(&spool);
  return result;
}
