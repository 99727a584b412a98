// The visit-history reader on arbitrary bytes, through every way of reading
// them: the first byte picks the character set, separator, date order and
// columns, and may repeat the rest past the record limit. Whatever the
// bytes, the reader ends, keeps each name within the limit and as UTF-8
// without a replacement character, each note within it and as UTF-8,
// gives back every row it kept, and accounts for every line: each one that
// is not blank is a sep= line, the header, a visit or a row it names.
#include "orbitrace-render/history/csv_records.h"
#include "orbitrace-render/history/report_text.h"
#include "orbitrace-render/history/visit_spool.h"

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

void Check(bool ok, const char *what) {
  if (!ok) {
    fprintf(stderr, "history_fuzz: %s\n", what);
    abort();
  }
}

// Valid UTF-8: what showing it leaves as it is, control characters aside.
bool IsUtf8(const std::string &text) {
  std::string shown = text;
  for (char &c : shown)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
      c = ' ';
  return DisplayText(text) == shown;
}

// Per line of the input as read in `encoding` (from 1): whether it holds
// more than blanks. Line ends as the reader counts them: CR, LF, CR LF; a
// DOS end-of-file at the very end is none of the file.
std::vector<bool> LinesNotBlank(const std::string &bytes,
                                TextEncoding encoding) {
  TextDecoder decoder;
  OpenDecoder(&decoder, encoding);
  std::string text;
  Decode(&decoder, bytes.data(), bytes.size(), true, &text);
  if (text.compare(0, 3, "\xEF\xBB\xBF") == 0)
    text.erase(0, 3);
  while (!text.empty() && text.back() == '\x1A')
    text.pop_back();
  std::vector<bool> lines(1, false);
  bool notBlank = false, begun = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      lines.push_back(notBlank);
      notBlank = begun = false;
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
        ++i;
    } else {
      begun = true;
      notBlank = notBlank || (c != ' ' && c != '\t');
    }
  }
  if (begun)
    lines.push_back(notBlank);
  return lines;
}

void Cover(std::vector<bool> *covered, int line, int lastLine) {
  Check(line >= 1 && lastLine >= line &&
            static_cast<size_t>(lastLine) < covered->size(),
        "lines that the input does not have");
  for (int i = line; i <= lastLine; ++i)
    (*covered)[static_cast<size_t>(i)] = true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size == 0)
    return 0;
  const uint8_t choice = data[0];
  const TextEncoding encodings[8] = {
      TextEncoding::kDetect,      TextEncoding::kUtf8,
      TextEncoding::kUtf16Le,     TextEncoding::kUtf16Be,
      TextEncoding::kWindows1252, TextEncoding::kMacRoman,
      TextEncoding::kCp850,       TextEncoding::kCp437};
  const char separators[4] = {0, ',', ';', '\t'};
  const DateOrder orders[3] = {DateOrder::kFromFile, DateOrder::kDayFirst,
                               DateOrder::kMonthFirst};
  ReadSettings settings;
  settings.encoding = encodings[choice % 8];
  settings.separator = separators[(choice / 8) % 4];
  settings.dateOrder = orders[(choice / 32) % 3];
  std::string error;
  if (choice & 0x40)
    Check(ParseColumnsOption("patient,eye,date,values,note", &settings, &error),
          "--columns refused");
  std::string text(reinterpret_cast<const char *>(data + 1), size - 1);
  if (choice & 0x80 && !text.empty())
    while (text.size() <= kMaxRecordBytes)
      text += text;

  std::istringstream in(text);
  VisitSpool spool;
  std::vector<VisitProblem> problems;
  const bool read = SpoolVisits(
      in, settings, &spool,
      [&](const VisitProblem &p) {
        Check(p.line >= 1 && !p.reason.empty(), "a problem without its line");
        problems.push_back(p);
      },
      &error);
  if (!read) {
    Check(!error.empty(), "refused without a reason");
    return 0;
  }
  std::vector<bool> notBlank = LinesNotBlank(text, spool.read.encoding);
  std::vector<bool> covered(notBlank.size(), false);
  if (spool.read.headerLine > 0)
    Cover(&covered, spool.read.headerLine, spool.read.headerLastLine);
  if (spool.read.layout.sepLine)
    Cover(&covered, 1, 1); // named in how the file was read
  for (const VisitProblem &p : problems)
    Cover(&covered, p.line, p.lastLine > p.line ? p.lastLine : p.line);
  long rows = 0;
  PatientHistory history;
  while (ReadNextPatient(&spool, &history)) {
    Check(!history.patient.empty(), "an empty name");
    Check(history.patient.size() <= kMaxRecordBytes, "a name over the limit");
    Check(IsUtf8(history.patient), "a name that is not UTF-8");
    Check(history.patient.find("\xEF\xBF\xBD") == std::string::npos,
          "a replacement character in a name");
    rows += static_cast<long>(history.eyes[0].size() + history.eyes[1].size());
    for (const std::vector<Visit> &eye : history.eyes)
      for (const Visit &v : eye) {
        Cover(&covered, v.line, v.line);
        std::string note;
        Check(ReadNote(&spool, v, &note), "a note not read back");
        // What the health-record export's JSON writer takes.
        Check(note.size() <= kMaxRecordBytes && IsUtf8(note),
              "a note over the limit or not UTF-8");
      }
  }
  for (size_t line = 1; line < notBlank.size(); ++line)
    Check(!notBlank[line] || covered[line],
          "a line neither read nor named among the rows left out");
  Check(spool.next == spool.patients.size(), "a patient not read back");
  Check(rows == spool.totalRows, "rows lost between reading and reading back");
  CloseSpool(&spool);
  return 0;
}
