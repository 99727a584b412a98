// SplitParameter on arbitrary bytes: every field stays inside its buffer, is
// zero-terminated and holds exactly the bytes of its stretch of the text;
// read in code page 932, every field stays inside its buffer and holds whole
// characters.
#include "sketch/parameter_fields.h"

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

namespace {

void Check(bool ok, const char *what) {
  if (!ok) {
    fprintf(stderr, "parameter_fuzz: %s\n", what);
    abort();
  }
}

// The fields as the text describes them, found with a different walk: cut
// at the bars, keep five pieces, and end each piece at its first zero byte.
std::vector<std::string> ExpectedFields(const char *text, size_t length) {
  std::vector<std::string> fields;
  size_t start = 0;
  while (fields.size() < kFieldCount) {
    const void *bar = memchr(text + start, '|', length - start);
    const size_t end =
        bar ? static_cast<size_t>(static_cast<const char *>(bar) - text)
            : length;
    std::string piece(text + start, end - start);
    fields.push_back(piece.substr(0, piece.find('\0')));
    if (!bar)
      break;
    start = end + 1;
  }
  fields.resize(kFieldCount);
  return fields;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  // Lengths past the limit are cut to it; the caller normally refuses them.
  const char *text = reinterpret_cast<const char *>(data);
  const int length = static_cast<int>(size > 4096 ? 4096 : size);
  const size_t used =
      size < kMaxParameterLength ? size : size_t(kMaxParameterLength);

  // Leftovers of an earlier call must be cleared.
  char fields[kFieldCount][kFieldSize];
  memset(fields, 0xA5, sizeof fields);
  SplitParameter(text, length, fields);

  const std::vector<std::string> expected = ExpectedFields(text, used);
  for (int f = 0; f < kFieldCount; ++f) {
    const char *field = fields[f];
    const void *zero = memchr(field, '\0', kFieldSize);
    Check(zero != NULL, "field not zero-terminated within its buffer");
    const size_t n =
        static_cast<size_t>(static_cast<const char *>(zero) - field);
    Check(n == expected[f].size(), "field has the wrong length");
    Check(memcmp(field, expected[f].data(), n) == 0, "field bytes differ");
    for (size_t i = n; i < kFieldSize; ++i)
      Check(field[i] == '\0', "field buffer not cleared past its text");
  }

  // Without zero bytes, the fields joined by bars give back the text up to
  // the fifth bar, or all of it; trailing empty fields add only bars.
  if (memchr(text, '\0', used) == NULL) {
    std::string all = fields[0];
    for (int f = 1; f < kFieldCount; ++f)
      all += std::string("|") + fields[f];
    const std::string input(text, used);
    const size_t fifthBar = [&] {
      size_t pos = std::string::npos;
      for (int bars = 0; bars < kFieldCount; ++bars) {
        pos = input.find('|', pos == std::string::npos ? 0 : pos + 1);
        if (pos == std::string::npos)
          break;
      }
      return pos;
    }();
    const std::string kept =
        fifthBar == std::string::npos ? input : input.substr(0, fifthBar);
    // `all` has exactly four bars; `kept` may have fewer when the text has
    // fewer fields, in which case the missing fields are empty.
    Check(all.compare(0, kept.size(), kept) == 0,
          "joined fields do not start with the text");
    Check(all.find_first_not_of('|', kept.size()) == std::string::npos,
          "joined fields have more than bars after the text");
  }

  // Read in code page 932: every field still inside its buffer, and no
  // field ends in a lead byte cut from its second byte.
  static const LeadByteRanges kShiftJis = {{0x81, 0x9F, 0xE0, 0xFC}};
  char wide[kFieldCount][kFieldSize];
  memset(wide, 0xA5, sizeof wide);
  SplitParameter(text, length, wide, &kShiftJis);
  for (int f = 0; f < kFieldCount; ++f) {
    const char *field = wide[f];
    const void *zero = memchr(field, '\0', kFieldSize);
    Check(zero != NULL, "932: field not zero-terminated within its buffer");
    const size_t n =
        static_cast<size_t>(static_cast<const char *>(zero) - field);
    for (size_t i = 0; i < n; ++i)
      if (IsLeadByte(kShiftJis, static_cast<uint8_t>(field[i])))
        Check(++i < n, "932: a field ends in a lone lead byte");
  }

  // A second call on the same buffers gives the same fields.
  char again[kFieldCount][kFieldSize];
  memcpy(again, fields, sizeof again);
  SplitParameter(text, length, fields);
  Check(memcmp(again, fields, sizeof again) == 0, "second call differs");
  return 0;
}
