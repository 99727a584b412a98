// The visit-history reader on arbitrary bytes, through every way of reading
// them: the first byte picks the character set, separator, date order and
// columns, and may repeat the rest past the record limit. Whatever the
// bytes, the reader ends, keeps each name within the limit and as UTF-8
// once converted, and gives back every row it kept.
#include "orbitrace-render/history/csv_records.h"
#include "orbitrace-render/history/report_text.h"
#include "orbitrace-render/history/visit_spool.h"

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include <sstream>
#include <string>

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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size == 0)
    return 0;
  const uint8_t choice = data[0];
  const TextEncoding encodings[5] = {
      TextEncoding::kDetect, TextEncoding::kUtf8, TextEncoding::kUtf16Le,
      TextEncoding::kUtf16Be, TextEncoding::kWindows1252};
  const char separators[4] = {0, ',', ';', '\t'};
  const DateOrder orders[3] = {DateOrder::kFromFile, DateOrder::kDayFirst,
                               DateOrder::kMonthFirst};
  ReadSettings settings;
  settings.encoding = encodings[choice % 5];
  settings.separator = separators[(choice / 5) % 4];
  settings.dateOrder = orders[(choice / 20) % 3];
  std::string error;
  if (choice & 0x40)
    Check(ParseColumnsOption("patient,eye,date,values", &settings, &error),
          "--columns refused");
  std::string text(reinterpret_cast<const char *>(data + 1), size - 1);
  if (choice & 0x80 && !text.empty())
    while (text.size() <= kMaxRecordBytes)
      text += text;

  std::istringstream in(text);
  VisitSpool spool;
  long problems = 0;
  const bool read = SpoolVisits(
      in, settings, &spool,
      [&](const VisitProblem &p) {
        Check(p.line >= 1 && !p.reason.empty(), "a problem without its line");
        ++problems;
      },
      &error);
  if (!read) {
    Check(!error.empty(), "refused without a reason");
    return 0;
  }
  const bool converted = settings.encoding != TextEncoding::kUtf8;
  long rows = 0;
  PatientHistory history;
  while (ReadNextPatient(&spool, &history)) {
    Check(!history.patient.empty(), "an empty name");
    Check(history.patient.size() <= kMaxRecordBytes, "a name over the limit");
    Check(!converted || IsUtf8(history.patient), "a name that is not UTF-8");
    rows += static_cast<long>(history.eyes[0].size() + history.eyes[1].size());
  }
  Check(spool.next == spool.patients.size(), "a patient not read back");
  Check(rows == spool.totalRows, "rows lost between reading and reading back");
  CloseSpool(&spool);
  return 0;
}
