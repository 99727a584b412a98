#include "sketch/parameter_fields.h"

#include <gtest/gtest.h>

#include <string.h>

#include <string>

namespace {

struct Fields {
  char f[kFieldCount][kFieldSize];
};

// Splits `text` (which may hold zero bytes) after dirtying every buffer, so
// that a missing clear shows.
Fields Split(const std::string &text, const LeadByteRanges *lead = nullptr) {
  Fields out;
  memset(out.f, 'X', sizeof out.f);
  SplitParameter(text.data(), static_cast<int>(text.size()), out.f, lead);
  return out;
}

// Code page 932's lead bytes, as GetCPInfo gives them on Japanese Windows.
const LeadByteRanges kShiftJis = {{0x81, 0x9F, 0xE0, 0xFC}};

void ExpectFields(const Fields &got, const char *a, const char *b,
                  const char *c, const char *d, const char *e) {
  const char *want[kFieldCount] = {a, b, c, d, e};
  for (int i = 0; i < kFieldCount; ++i)
    EXPECT_STREQ(want[i], got.f[i]) << "field " << i;
}

TEST(SplitParameter, FiveFieldsGoIntoTheirValues) {
  ExpectFields(Split(".35|.40|3|-.20|Right eye"), ".35", ".40", "3", "-.20",
               "Right eye");
}

TEST(SplitParameter, MissingFieldsStayEmpty) {
  ExpectFields(Split(".35|.40"), ".35", ".40", "", "", "");
  ExpectFields(Split(".35"), ".35", "", "", "", "");
}

TEST(SplitParameter, EmptyFieldsFromBarsAtEdgesAndInARow) {
  ExpectFields(Split("||||Right eye"), "", "", "", "", "Right eye");
  ExpectFields(Split("|a||b|"), "", "a", "", "b", "");
  ExpectFields(Split("|"), "", "", "", "", "");
}

TEST(SplitParameter, TextAfterTheFifthBarIsDropped) {
  ExpectFields(Split("a|b|c|d|e|f"), "a", "b", "c", "d", "e");
  ExpectFields(Split("a|b|c|d|e|f|g|h"), "a", "b", "c", "d", "e");
  ExpectFields(Split("a|b|c|d||f"), "a", "b", "c", "d", "");
}

TEST(SplitParameter, BytesAreKeptUnchanged) {
  ExpectFields(Split(" .35|A b|\xe9|-|\t"), " .35", "A b", "\xe9", "-", "\t");
}

TEST(SplitParameter, ShiftJisIsSplitByCharacters) {
  const struct {
    const char *text, *fields[kFieldCount];
  } rows[] = {
      // "ポスト": the bar as second byte of "ポ" stays in the title.
      {".35|.40|3|-.20|\x83|\x83X\x83g",
       {".35", ".40", "3", "-.20", "\x83|\x83X\x83g"}},
      // "－．２０" (81 7C 81 44 82 51 82 4F): a full-width minus is 81 7C.
      {".35|.40|3|\x81|\x81\x44\x82Q\x82O|T",
       {".35", ".40", "3", "\x81|\x81\x44\x82Q\x82O", "T"}},
      // A lead byte with nothing after it is dropped.
      {".35|\x83", {".35", "", "", "", ""}},
      // Bytes that lead nothing in the code page split as ever.
      {"\xA0|\x7F|\xFD|3", {"\xA0", "\x7F", "\xFD", "3", ""}},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.text);
    ExpectFields(Split(row.text, &kShiftJis), row.fields[0], row.fields[1],
                 row.fields[2], row.fields[3], row.fields[4]);
  }
  // A zero after a lead byte still ends its field, the lead byte with it.
  static const char kCut[] = "\x83\0|b";
  ExpectFields(Split(std::string(kCut, sizeof kCut - 1), &kShiftJis), "", "b",
               "", "", "");
  // The same bytes in a single-byte code page: every bar splits.
  ExpectFields(Split(".35|.40|3|-.20|\x83|\x83X\x83g"), ".35", ".40", "3",
               "-.20", "\x83");
}

TEST(SplitParameter, ZeroByteEndsItsFieldButLaterBarsStillSplit) {
  static const char kText[] = ".3\0"
                              "5|.40|3\0|x|T";
  const Fields got = Split(std::string(kText, sizeof kText - 1));
  ExpectFields(got, ".3", ".40", "3", "x", "T");
  // Nothing of the cut-off text is left behind the terminator.
  EXPECT_EQ('\0', got.f[0][3]);
  EXPECT_EQ('\0', got.f[0][4]);
}

TEST(SplitParameter, ZeroLengthClearsEveryField) {
  Fields got = Split("");
  ExpectFields(got, "", "", "", "", "");
  for (int i = 0; i < kFieldCount; ++i)
    for (int j = 0; j < kFieldSize; ++j)
      ASSERT_EQ('\0', got.f[i][j]) << i << "," << j;
}

TEST(SplitParameter, OnlyTheGivenLengthIsRead) {
  ExpectFields(Split(std::string(".35|.40|9", 7)), ".35", ".40", "", "", "");
}

TEST(SplitParameter, LongestParameterFillsOneFieldCompletely) {
  const std::string text(kMaxParameterLength, 'a');
  const Fields got = Split(text);
  EXPECT_EQ(text, std::string(got.f[0]));
  EXPECT_EQ('\0', got.f[0][kFieldSize - 1]);
  ExpectFields(got, text.c_str(), "", "", "", "");
}

TEST(SplitParameter, LongestParameterSpreadOverFields) {
  const std::string last(kMaxParameterLength - 4, 'z');
  const Fields got = Split("||||" + last);
  ExpectFields(got, "", "", "", "", last.c_str());
}

} // namespace
