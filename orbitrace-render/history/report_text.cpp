#include "orbitrace-render/history/report_text.h"

#include "orbitrace-render/history/visit_date.h"
#include "orbitrace-render/sketch_values.h"

namespace {

// The length of the valid UTF-8 sequence at `at`, or 0.
size_t SequenceLength(const std::string &text, size_t at) {
  const unsigned char c = static_cast<unsigned char>(text[at]);
  size_t n;
  unsigned min;
  unsigned code;
  if (c < 0x80)
    return 1;
  if (c >= 0xC2 && c <= 0xDF)
    n = 2, min = 0x80, code = c & 0x1F;
  else if (c >= 0xE0 && c <= 0xEF)
    n = 3, min = 0x800, code = c & 0x0F;
  else if (c >= 0xF0 && c <= 0xF4)
    n = 4, min = 0x10000, code = c & 0x07;
  else
    return 0;
  if (at + n > text.size())
    return 0;
  for (size_t i = 1; i < n; ++i) {
    const unsigned char k = static_cast<unsigned char>(text[at + i]);
    if ((k & 0xC0) != 0x80)
      return 0;
    code = (code << 6) | (k & 0x3F);
  }
  // Overlong forms, surrogates and code points past U+10FFFF.
  if (code < min || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF)
    return 0;
  return n;
}

} // namespace

std::string DisplayText(const std::string &text) {
  std::string out;
  out.reserve(text.size());
  for (size_t at = 0; at < text.size();) {
    const size_t n = SequenceLength(text, at);
    if (n == 0) {
      out += "\xEF\xBF\xBD";
      ++at;
    } else if (n == 1 && (static_cast<unsigned char>(text[at]) < 0x20 ||
                          text[at] == 0x7F)) {
      out += ' ';
      ++at;
    } else {
      out.append(text, at, n);
      at += n;
    }
  }
  return out;
}

std::string HtmlText(const std::string &text) {
  std::string out;
  for (char c : DisplayText(text)) {
    switch (c) {
    case '&':
      out += "&amp;";
      break;
    case '<':
      out += "&lt;";
      break;
    case '>':
      out += "&gt;";
      break;
    case '"':
      out += "&quot;";
      break;
    case '\'':
      out += "&#39;";
      break;
    default:
      out += c;
    }
  }
  return out;
}

std::string MadeText(time_t made) {
  struct tm local;
  char text[64];
  if (!localtime_r(&made, &local) ||
      strftime(text, sizeof text, "%Y-%m-%d %H:%M %Z", &local) == 0)
    return "an unknown time";
  return text;
}

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

const char kFlaggedHeading[] = "Patients with a flagged change";
const char kLeftOutHeading[] = "Rows left out";
const char kNoFlaggedChange[] = "No flagged change.";

namespace {

// "lines 12, 40 and 3 more": the lines of the listed remarks of one kind.
std::string RemarkLines(const ReportSummary &s, VisitProblem::Kind kind,
                        long count) {
  enum { kShown = 3 };
  std::string lines;
  long shown = 0;
  for (const VisitProblem &p : s.remarks) {
    if (p.kind != kind || shown == kShown)
      continue;
    lines += (shown++ ? ", " : "") + LinesText(p);
  }
  if (count > shown)
    lines += " and " + std::to_string(count - shown) + " more";
  return lines;
}

} // namespace

std::vector<SummaryRow> SummaryRows(const ReportSummary &s) {
  std::vector<SummaryRow> rows = {
      {"Patients", std::to_string(s.patients)},
      {"Visits", std::to_string(s.visits) + " (" + std::to_string(s.sketches) +
                     " sketches)"},
      {"Flagged", std::to_string(s.flagged.size()) +
                      (s.flagged.size() == 1 ? " patient" : " patients")},
      {kLeftOutHeading, std::to_string(s.problemCount)},
      {"Patients told apart by", PatientsByText(s.read)},
      {"Character set", EncodingText(s.read)},
      {"Separator", SeparatorText(s.read)},
      {"Date order", DateOrderText(s.read)}};
  // The rows kept or skipped with a word, each kind on a line of its own.
  static const struct {
    VisitProblem::Kind kind;
    const char *label, *said;
  } kRemarks[] = {
      {VisitProblem::kNoteCut, "Notes cut", ""},
      {VisitProblem::kLinesJoined, "Rows joined",
       ": one row each, by line breaks in quotes"},
      {VisitProblem::kTimeDropped, "Times dropped",
       ": visits kept on their dates, the times after them dropped"},
      {VisitProblem::kHeaderAgain, "Headers repeated",
       ": the header row again, skipped"},
      {VisitProblem::kRecoded, "Lines not UTF-8", ""}};
  for (const auto &r : kRemarks) {
    const long count = s.remarkCount[r.kind];
    if (count == 0)
      continue;
    std::string said = r.said;
    if (r.kind == VisitProblem::kNoteCut)
      said = ": visits kept, notes cut at " +
             std::to_string(kMaxRecordBytes / 1024) + " KiB";
    if (r.kind == VisitProblem::kRecoded)
      said = std::string(": read as ") + EncodingName(s.read.fallback) +
             ", since the rest of the file is UTF-8";
    rows.push_back({r.label, RemarkLines(s, r.kind, count) + said});
  }
  return rows;
}

void AddProblem(ReportSummary *s, const VisitProblem &p) {
  if (p.kind == VisitProblem::kLeftOut) {
    if (s->problems.size() < kListedProblems)
      s->problems.push_back(p);
    ++s->problemCount;
    return;
  }
  if (s->remarks.size() < kListedProblems)
    s->remarks.push_back(p);
  ++s->remarkCount[p.kind];
}

std::string PatientHeading(const PatientHistory &h) {
  if (h.id.empty() || h.id == h.patient)
    return h.patient;
  return h.patient + " (ID " + h.id + ")";
}

std::string PatientsByText(const ReadFacts &r) {
  std::string text;
  if (!r.idColumn.empty())
    text = "the ID column \"" + r.idColumn + "\"" +
           (r.idFound ? ", found by its name" : ", from --column id");
  else if (!r.nameColumn.empty())
    text = "the patient column, an ID; names from \"" + r.nameColumn + "\"";
  else
    text = "their names, however the accents are composed";
  for (const std::string &note : r.columnNotes)
    text += "; " + note;
  return text;
}

std::string LinesText(const VisitProblem &p) {
  if (p.lastLine > p.line)
    return "lines " + std::to_string(p.line) + " to " +
           std::to_string(p.lastLine);
  return "line " + std::to_string(p.line);
}

std::string ProblemMessage(const std::string &source, const VisitProblem &p) {
  return source + ", " + LinesText(p) + ": " + p.reason;
}

std::string LeftOutLine(const VisitProblem &p) {
  std::string lines = LinesText(p);
  lines[0] = 'L';
  return lines + ": " + p.reason;
}

std::string RepeatReason(const DuplicateVisit &d) {
  const std::string repeat =
      "patient, eye and date repeat line " + std::to_string(d.firstLine);
  if (FormatValues(d.values) == FormatValues(d.firstValues))
    return repeat + ", with the same values";
  return repeat + " with other values: " + FormatValues(d.values) + " here, " +
         FormatValues(d.firstValues) + " on line " +
         std::to_string(d.firstLine) + ", which is kept";
}

std::string EncodingText(const ReadFacts &r) {
  std::string name = EncodingName(r.encoding);
  if (*EncodingCommonName(r.encoding))
    name += std::string(" (") + EncodingCommonName(r.encoding) + ")";
  switch (r.encodingEvidence) {
  case EncodingEvidence::kGiven:
    return name + ", from --encoding";
  case EncodingEvidence::kByteOrderMark:
    return name + ", from its byte-order mark";
  case EncodingEvidence::kZeroBytes:
    return name + ", found from its zero bytes (no byte-order mark)";
  case EncodingEvidence::kValidUtf8:
    return name + ", found: every byte is valid UTF-8";
  case EncodingEvidence::kMostlyUtf8:
    // Short enough for the PDF's one line; the lines are listed apart.
    if (r.fallback == TextEncoding::kDetect)
      return name + ", valid in most lines; the rest left out: their code "
                    "page is unclear";
    return name + ", valid in most lines; the rest read as " +
           EncodingName(r.fallback) +
           (*EncodingCommonName(r.fallback)
                ? std::string(" (") + EncodingCommonName(r.fallback) + ")"
                : std::string());
  case EncodingEvidence::kAssumed:
    return name + ", assumed: no letter outside ASCII tells the code page";
  case EncodingEvidence::kAssumedInTie:
    return name + ", assumed: other code pages fit as well and read " +
           r.otherReadings + "; if one of those is right, say --encoding";
  default:
    return name + ", found from the letters inside words";
  }
}

std::string SeparatorText(const ReadFacts &r) {
  std::string text = SeparatorName(r.layout.separator);
  if (r.layout.separator == '\t')
    text += " (no quoting)";
  const char named = r.layout.sepLine;
  const std::string sepLine =
      std::string("the file's first line \"sep=") +
      (named == '\t' ? std::string("<tab>") : std::string(1, named)) + "\"";
  if (!r.layout.separatorFound && named && named != r.layout.separator)
    text += ", from --separator, which wins over " + sepLine;
  else if (!r.layout.separatorFound)
    text += ", from --separator";
  else if (named)
    text += ", from " + sepLine;
  else
    text += ", found from the first " +
            std::to_string(r.layout.separatorLines) +
            (r.layout.separatorLines == 1 ? " line" : " lines");
  if (r.layout.lineEndsRecord && r.layout.separator != '\t')
    text += "; a line break ends every row";
  return text;
}

std::string DateOrderText(const ReadFacts &r) {
  const std::string order =
      r.dateOrder == DateOrder::kDayFirst ? "day first" : "month first";
  if (r.dateOrderGiven)
    return order + ", from --date-order";
  if (r.dateOrder == DateOrder::kFromFile)
    return "not needed: no date is written with slashes";
  return order + ", found from line " + std::to_string(r.dateLine) + " (" +
         r.date + ")";
}

bool FoundFromFile(const ReadFacts &r) {
  return (r.encodingEvidence != EncodingEvidence::kGiven &&
          r.encodingEvidence != EncodingEvidence::kByteOrderMark) ||
         r.layout.separatorFound ||
         (r.layout.sepLine && r.layout.sepLine != r.layout.separator) ||
         (!r.dateOrderGiven && r.dateOrder != DateOrder::kFromFile);
}

std::string HowReadText(const ReadFacts &r) {
  return "read as " + EncodingText(r) + "; separator " + SeparatorText(r) +
         "; date order " + DateOrderText(r);
}

std::string LeftOutBeyondList(const ReportSummary &s) {
  const long more = s.problemCount - static_cast<long>(s.problems.size());
  if (more <= 0)
    return "";
  return "And " + std::to_string(more) +
         " more, listed in the error output of the run.";
}

std::string VisitsSeen(const std::vector<VisitColumn> &columns) {
  std::string seen = std::to_string(columns.size()) +
                     (columns.size() == 1 ? " visit" : " visits");
  if (!columns.empty())
    seen += ", " + FormatIsoDate(columns.front().date) + " to " +
            FormatIsoDate(columns.back().date);
  return seen;
}

ValueLines LabelledValues(const StoredValues &v) {
  // A true minus sign: a hyphen before .10 reads as a dash.
  const std::string rim =
      !v.rim.empty() && v.rim[0] == '-' ? "\u2212" + v.rim.substr(1) : v.rim;
  return {"H " + v.horizontal + " \u00B7 V " + v.vertical,
          v.position + " o\u2019clock \u00B7 rim " + rim};
}
