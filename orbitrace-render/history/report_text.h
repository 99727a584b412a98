// The report's wording, the same in either format: the summary and its
// rows, headings and lines, and names and reasons from the file made safe
// to show (a page or a PDF gets valid UTF-8 on one line, a web page gets it
// escaped).
#pragma once

#include "orbitrace-render/history/flag_rules.h"
#include "orbitrace-render/history/visit_history.h"
#include "orbitrace-render/history/visit_spool.h"

#include <time.h>

#include <string>
#include <vector>

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
  ReadFacts read; // how the export was read
  // The rows kept with a word: notes cut, lines joined by quotes; the
  // first kListedProblems of them.
  std::vector<VisitProblem> remarks;
  long remarkCount[VisitProblem::kKinds] = {}; // by kind
};

// "Smith, John (ID 1001)", or the name alone for a patient without an ID.
std::string PatientHeading(const PatientHistory &history);

// What tells the patients apart, in words for the summary: the ID column
// or the names, with what the header suggests that was not taken.
std::string PatientsByText(const ReadFacts &read);

// Puts a row left out or kept with a word in its list and its count.
void AddProblem(ReportSummary *summary, const VisitProblem &problem);
// "visits.csv, lines 5 to 7: reason", for the command line.
std::string ProblemMessage(const std::string &source,
                           const VisitProblem &problem);
// "line 5" or "lines 5 to 7".
std::string LinesText(const VisitProblem &problem);
// Why a repeated visit is left out: which line it repeats, and both values
// when they differ.
std::string RepeatReason(const DuplicateVisit &duplicate);

// How the export was read, in words for the summary: the character set,
// the separator, the order of day and month, each with what told it.
std::string EncodingText(const ReadFacts &read);
std::string SeparatorText(const ReadFacts &read);
std::string DateOrderText(const ReadFacts &read);
// Whether any of them was found from the file rather than given or marked.
bool FoundFromFile(const ReadFacts &read);
// All three on one line, for the command line.
std::string HowReadText(const ReadFacts &read);

enum { kListedProblems = 50 };

// "What the flags measure", for the summary of either format.
std::string FlagsExplained(const FlagThresholds &thresholds);

// The summary's rows: counts (patients, visits, flagged, rows left out),
// how the file was read, and the rows kept with a word; its headings, and
// a line per row left out. A row's value is plain text that needs no
// escaping.
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

// The values under a sketch, labelled, in two lines: "H .45 · V .60" and
// "1 o’clock · rim −.10".
struct ValueLines {
  std::string ratios, place;
};
ValueLines LabelledValues(const StoredValues &values);

// Invalid UTF-8 sequences become U+FFFD and control characters spaces.
std::string DisplayText(const std::string &text);

// DisplayText with &, <, >, " and ' escaped for HTML text and attributes.
std::string HtmlText(const std::string &text);

// When a report was made, in local time with its zone:
// "2026-12-07 16:45 CET".
std::string MadeText(time_t made);
