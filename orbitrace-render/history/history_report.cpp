#include "orbitrace-render/history/history_report.h"

#include "orbitrace-render/history/report_text.h"

#include <ctype.h>
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ostream>

namespace {

bool EndsWith(const std::string &text, const char *end) {
  const std::string e = end;
  if (text.size() < e.size())
    return false;
  for (size_t i = 0; i < e.size(); ++i)
    if (tolower(static_cast<unsigned char>(text[text.size() - e.size() + i])) !=
        e[i])
      return false;
  return true;
}

// One patient's history ready to show: visits in date order, repeated rows
// taken out.
bool NextPatient(VisitSpool *spool, PatientHistory *history,
                 std::vector<DuplicateVisit> *duplicates) {
  if (!ReadNextPatient(spool, history))
    return false;
  OrderVisits(history, duplicates);
  return true;
}

} // namespace

std::string FlagsExplained(const FlagThresholds &t) {
  std::string rules;
  auto add = [&](int threshold, const std::string &rule) {
    if (threshold == kFlagOff)
      return;
    rules += rules.empty() ? "" : "; ";
    rules += rule;
  };
  add(t.rise, "an eye's vertical cup-to-disc ratio rose by " +
                  FormatHundredths(t.rise) +
                  " or more since that eye's first visit");
  add(t.difference, "the vertical ratios of the two eyes differ by " +
                        FormatHundredths(t.difference) +
                        " or more on one visit date");
  add(t.high, "a vertical ratio is " + FormatHundredths(t.high) + " or more");
  if (rules.empty())
    return "Every flag is turned off.";
  return "A patient is flagged when " + rules +
         ". The flags point at these measurements in the stored values of the "
         "sketches; they are not a diagnosis.";
}

int MakeHistoryReport(std::istream &csv, const std::string &source,
                      const std::string &output, const HistoryOptions &options,
                      ProgressBar *progress, std::ostream &err,
                      long *sketches) {
  *sketches = 0;
  ReportSummary summary;
  summary.source = source;
  summary.made = time(nullptr);
  auto problem = [&](const VisitProblem &p) {
    progress->Message("orbitrace-render: " + source + ", line " +
                      std::to_string(p.line) + ": " + p.reason);
    if (summary.problems.size() < kListedProblems)
      summary.problems.push_back(p);
    ++summary.problemCount;
  };

  VisitSpool spool;
  std::string error;
  if (!SpoolVisits(csv, options.read, &spool, problem, &error)) {
    err << "orbitrace-render: " << source << ": " << error
        << "; no report made\n";
    return kExitFailed;
  }
  if (!spool.missing.empty()) {
    for (const std::string &id : spool.missing)
      err << "orbitrace-render: " << source << ": no row names patient \""
          << DisplayText(id) << "\"\n";
    err << "orbitrace-render: no report made (--patient takes an ID as the "
           "file's patient column writes it)\n";
    CloseSpool(&spool);
    return kExitUsage;
  }

  // First reading: counts, repeated rows and flags for the summary.
  PatientHistory history;
  std::vector<DuplicateVisit> duplicates;
  int section = 0;
  while (NextPatient(&spool, &history, &duplicates)) {
    ++section;
    for (const DuplicateVisit &d : duplicates)
      problem(VisitProblem{d.line, "patient, eye and date repeat line " +
                                       std::to_string(d.firstLine)});
    duplicates.clear();
    summary.visits += static_cast<long>(AlignByDate(history).size());
    summary.sketches +=
        static_cast<long>(history.eyes[0].size() + history.eyes[1].size());
    const std::vector<Flag> flags = FindFlags(history, options.thresholds);
    if (!flags.empty()) {
      ReportSummary::Flagged f{section, history.patient, {}};
      for (const Flag &flag : flags)
        f.labels.push_back(FlagLabel(flag, options.thresholds));
      summary.flagged.push_back(f);
    }
  }
  summary.patients = section;

  // Written beside the output and renamed when complete, so a failed run
  // leaves an earlier report as it was.
  std::string partial = output + ".XXXXXX";
  const int fd = mkstemp(&partial[0]);
  std::unique_ptr<ReportWriter> writer;
  if (fd < 0) {
    error = "cannot write \"" + output + "\": " + strerror(errno);
  } else {
    // mkstemp makes the file private; a report gets the usual mode.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    close(fd);
    writer = EndsWith(output, ".pdf")
                 ? OpenPdfReport(partial, options, &error)
                 : OpenHtmlReport(partial, options, &error);
    if (!writer)
      remove(partial.c_str());
  }
  if (!writer) {
    CloseSpool(&spool);
    err << "orbitrace-render: " << error << "\n";
    return kExitFailed;
  }
  writer->Summary(summary);

  // Second reading: the sections.
  progress->SetTotal(static_cast<int>(summary.sketches));
  RewindSpool(&spool);
  section = 0;
  while (NextPatient(&spool, &history, &duplicates)) {
    writer->Patient(++section, history, AlignByDate(history),
                    FindFlags(history, options.thresholds));
    *sketches +=
        static_cast<long>(history.eyes[0].size() + history.eyes[1].size());
    progress->Update(static_cast<int>(*sketches));
  }
  progress->Finish();
  const bool complete = section == summary.patients;
  CloseSpool(&spool);
  bool written = writer->Finish(&error);
  if (written && !complete) {
    error = "cannot read back a temporary file";
    written = false;
  }
  if (written && rename(partial.c_str(), output.c_str()) != 0) {
    error = "cannot write \"" + output + "\": " + strerror(errno);
    written = false;
  }
  if (!written) {
    remove(partial.c_str());
    err << "orbitrace-render: " << error << "; no report made\n";
    return kExitFailed;
  }
  if (summary.problemCount > 0) {
    err << "orbitrace-render: " << summary.problemCount
        << (summary.problemCount == 1 ? " row" : " rows")
        << " left out; the report was made from the other " << summary.sketches
        << "\n";
    return kExitFailed;
  }
  return kExitOk;
}
