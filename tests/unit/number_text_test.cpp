#include "render/number_text.h"

#include <gtest/gtest.h>

#include <locale.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "sketch/value_lists.h"

namespace {

uint64_t Bits(double d) {
  uint64_t b;
  memcpy(&b, &d, sizeof b);
  return b;
}

// atof as the runtime gives it in the "C" locale: glibc natively, msvcrt.dll
// in the cross-built copy of these tests under Wine.
double CAtof(const std::string &text) {
  const std::string saved = setlocale(LC_NUMERIC, nullptr);
  setlocale(LC_NUMERIC, "C");
  double d = atof(text.c_str());
  setlocale(LC_NUMERIC, saved.c_str());
  return d;
}

// Decimal texts of every shape atof reads: signs, leading white space,
// integer and fraction digits in any number (beyond 19 too, where a fast
// reader must fall back to exact arithmetic), exponents up to the edges of
// the range, and trailing bytes that end the number.
std::vector<std::string> DecimalTexts() {
  std::vector<std::string> texts;
  uint32_t state = 12345;
  auto next = [&state](uint32_t n) {
    state = state * 1103515245u + 12345u;
    return (state >> 8) % n;
  };
  const char *const leads[] = {"", " ", "\t\n", "-", "+", " -"};
  const char *const tails[] = {"", "x", ",5", " 7", "e", "e+", "|"};
  for (int i = 0; i < 20000; ++i) {
    std::string t = leads[next(6)];
    int intDigits = next(4) == 0 ? 0 : 1 + next(next(2) ? 3 : 25);
    int fracDigits = next(3) == 0 ? 0 : 1 + next(next(2) ? 3 : 30);
    if (intDigits == 0 && fracDigits == 0)
      intDigits = 1;
    for (int d = 0; d < intDigits; ++d)
      t += char('0' + next(10));
    if (fracDigits > 0 || next(4) == 0)
      t += '.';
    for (int d = 0; d < fracDigits; ++d)
      t += char('0' + next(10));
    if (next(3) == 0)
      t += (next(2) ? "e" : "E") + std::string(next(2) ? "-" : "") +
           std::to_string(next(2) ? next(30) : next(340));
    t += tails[next(7)];
    texts.push_back(t);
  }
  // Halfway cases and the ends of the range.
  for (const char *t :
       {"9007199254740993", "2.2250738585072011e-308",
        "4.9406564584124654e-324", "2.4703282292062328e-324",
        "1.7976931348623157e308", "0.1000000000000000055511151231257827",
        "1e23", "8.5e-1", "-0", "0.0000"})
    texts.push_back(t);
  return texts;
}

TEST(NumberFromText, EveryListItemAsAtofReadsIt) {
  for (int i = 0; i < kRimCount; ++i)
    EXPECT_EQ(Bits(CAtof(kRimItems[i])), Bits(NumberFromText(kRimItems[i])))
        << kRimItems[i];
  for (int i = 0; i < kHourCount; ++i)
    EXPECT_EQ(Bits(CAtof(kHourItems[i])), Bits(NumberFromText(kHourItems[i])))
        << kHourItems[i];
}

TEST(NumberFromText, DecimalTextsAsAtofReadsThem) {
  int failures = 0;
  for (const std::string &t : DecimalTexts()) {
    const double want = CAtof(t), got = NumberFromText(t.c_str());
    if (Bits(want) != Bits(got) && ++failures <= 10)
      ADD_FAILURE() << "\"" << t << "\": got " << got << " (bits " << std::hex
                    << Bits(got) << "), atof gives " << want << " (bits "
                    << Bits(want) << ")";
  }
  EXPECT_EQ(0, failures) << "texts read differently from atof";
}

TEST(NumberFromText, TextsWithoutADecimalNumberGiveZero) {
  // What the system's msvcrt.dll reads: no hexadecimal, infinity or NaN.
  for (const char *t : {"", " ", ".", "-", "+", "+-1", "-+1", "--1", "x1",
                        "inf", "-nan", "0x10", "e5", ".e1",
                        "\xA0"
                        "1"}) {
    const double got = NumberFromText(t);
    EXPECT_TRUE(got == 0.0) << "\"" << t << "\": got " << got;
#ifdef _WIN32
    EXPECT_EQ(Bits(CAtof(t)), Bits(got))
        << "\"" << t << "\" as msvcrt reads it";
#endif
  }
  EXPECT_EQ(0.0, NumberFromText(nullptr));
}

TEST(NumberFromText, ADecimalCommaLocaleChangesNothing) {
  // Set as another module of the host process could set it.
  const std::string saved = setlocale(LC_ALL, nullptr);
  if (setlocale(LC_ALL, "German") == nullptr &&
      setlocale(LC_ALL, "de_DE.UTF-8") == nullptr)
    GTEST_SKIP() << "no decimal-comma locale on this system";
  const double atofThere = atof(".30"), ours = NumberFromText(".30");
  const double rimThere = NumberFromText("-.20");
  setlocale(LC_ALL, saved.c_str());
  EXPECT_NE(0.3, atofThere) << "precondition: atof follows the locale";
  EXPECT_EQ(Bits(0.3), Bits(ours));
  EXPECT_EQ(Bits(-0.2), Bits(rimThere));
}

} // namespace
