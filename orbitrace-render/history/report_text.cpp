#include "orbitrace-render/history/report_text.h"

#include "orbitrace-render/history/visit_date.h"

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

std::vector<SummaryRow> SummaryRows(const ReportSummary &s) {
  return {{"Patients", std::to_string(s.patients)},
          {"Visits", std::to_string(s.visits) + " (" +
                         std::to_string(s.sketches) + " sketches)"},
          {"Flagged", std::to_string(s.flagged.size()) +
                          (s.flagged.size() == 1 ? " patient" : " patients")},
          {kLeftOutHeading, std::to_string(s.problemCount)}};
}

std::string LeftOutLine(const VisitProblem &p) {
  return "Line " + std::to_string(p.line) + ": " + p.reason;
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
          v.location + " o\u2019clock \u00B7 rim " + rim};
}
