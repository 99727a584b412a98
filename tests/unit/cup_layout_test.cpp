#include "render/cup_layout.h"

#include <gtest/gtest.h>

#include <float.h>
#include <limits.h>
#include <math.h>
#include <stdlib.h>
#include <string.h>

#include <cmath>
#include <limits>
#include <string>

#include "host/x87_state.h"
#include "sketch/value_lists.h"
#include "tests/unit/int_rect_printer.h"
#include "tests/unit/x87_words.h"

namespace {

const IntRect kArea = {0, 0, 250, 240};

IntRect Rect(int l, int t, int r, int b) {
  IntRect rc = {l, t, r, b};
  return rc;
}

TEST(HourConstants, ValuesOfTheCutPiAngle) {
  EXPECT_EQ(0.5235987755833333, kHourAngle);
  EXPECT_NE(0.5235987755982988, kHourAngle); // not the double nearest pi/6
  EXPECT_EQ(0.9999999999, kAxisFactor);
  EXPECT_EQ(0.4999999999870395, kHourSine);
  EXPECT_EQ(0.8660254037919214, kHourCosine);
  EXPECT_LT(kHourSine, 0.5);
}

TEST(HourConstants, WrittenOutValuesAreTheStandardSineAndCosine) {
  EXPECT_EQ(std::sin(kHourAngle), kHourSine);
  EXPECT_EQ(std::cos(kHourAngle), kHourCosine);
}

struct CupCase {
  const char *x, *y, *rim, *position;
  IntRect want;
};

// Every row of the 250 x 240 table.
const CupCase kTable[] = {
    {".30", ".50", "1", "12", {90, 63, 160, 177}},
    {".30", ".50", "0", "12", {90, 6, 160, 120}},
    {".30", ".50", "0", "3", {174, 63, 244, 177}},
    {".30", ".50", "0", "6", {90, 120, 160, 234}},
    {".30", ".50", "0", "9", {6, 63, 76, 177}},
    {".30", ".50", ".50", "12", {90, 35, 160, 149}},
    {".30", ".50", "-.20", "12", {90, -6, 160, 108}},
    {".30", ".50", "-.20", "3", {191, 63, 261, 177}},
    {".30", ".50", "0", "1", {132, 13, 202, 127}},
    {".30", ".50", "0", "2", {163, 35, 233, 149}},
    {".30", ".50", "0", "4", {163, 91, 233, 205}},
    {".30", ".50", "0", "5", {132, 113, 202, 227}},
    {".30", ".50", "0", "7", {48, 113, 118, 227}},
    {".30", ".50", "0", "8", {17, 91, 87, 205}},
    {".30", ".50", "0", "10", {17, 35, 87, 149}},
    {".30", ".50", "0", "11", {48, 13, 118, 127}},
    {".25", ".50", "0", "1", {139, 13, 199, 127}},
    {"1", "1", "-.95", "12", {5, 5, 245, 235}},
    {"0", "0", "0", "12", {125, 6, 125, 6}},
};

TEST(LayoutCup, SketchAreaTableOf250By240) {
  for (const CupCase &c : kTable) {
    SCOPED_TRACE(std::string(c.x) + "|" + c.y + "|" + c.rim + "|" + c.position);
    EXPECT_EQ(c.want, LayoutCup(kArea, c.x, c.y, c.rim, c.position));
  }
}

#if defined(__i386__)
// The host may leave the x87 unit at any precision and rounding; inside the
// pin the plug-in sets at each way in, the layout does not notice, and the
// host gets its control word back.
TEST(LayoutCup, SameTableWhateverTheX87PrecisionControl) {
  const uint16_t saved = X87Control();
  for (uint16_t host : {kX87Precision24, kX87Windows, kX87Precision64,
                        kX87TruncatingUnmasked}) {
    for (const CupCase &c : kTable) {
      SetX87Control(host);
      const X87State saved87 = PinX87();
      const IntRect got = LayoutCup(kArea, c.x, c.y, c.rim, c.position);
      RestoreX87(saved87);
      const uint16_t after = X87Control();
      SetX87Control(saved); // let the check itself run normally
      EXPECT_EQ(c.want, got) << std::hex << "host 0x" << host << " " << c.x
                             << "|" << c.y << "|" << c.rim << "|" << c.position;
      EXPECT_EQ(host, after) << std::hex << "host 0x" << host;
    }
  }
}
#endif

TEST(LayoutCup, RimOfOneIsCentredAtEveryHour) {
  const IntRect centred = {90, 63, 160, 177};
  for (int i = 0; i < kHourCount; ++i)
    EXPECT_EQ(centred, LayoutCup(kArea, ".30", ".50", "1", kHourItems[i]))
        << kHourItems[i];
}

TEST(LayoutCup, NoValidHourMovesNothing) {
  const IntRect centred = {90, 63, 160, 177};
  for (const char *position :
       {"", "0", "13", "-3", "x", "99999999999999", "4294967299"})
    EXPECT_EQ(centred, LayoutCup(kArea, ".30", ".50", "0", position))
        << position;
}

TEST(LayoutCup, HourTextIsReadAsAtoiReadsIt) {
  const IntRect atThree = {174, 63, 244, 177};
  EXPECT_EQ(atThree, LayoutCup(kArea, ".30", ".50", "0", " 3"));
  EXPECT_EQ(atThree, LayoutCup(kArea, ".30", ".50", "0", "3.9"));
  EXPECT_EQ(atThree, LayoutCup(kArea, ".30", ".50", "0", "+3x"));
  EXPECT_EQ(atThree, LayoutCup(kArea, ".30", ".50", "0", "\t\v\r\n3"));
}

TEST(LayoutCup, TextWithoutANumberCountsAsZero) {
  EXPECT_EQ(LayoutCup(kArea, "0", ".50", "0", "12"),
            LayoutCup(kArea, "abc", ".50", "x", "12"));
  EXPECT_EQ(LayoutCup(kArea, ".30", ".50", "0", "12"),
            LayoutCup(kArea, ".30", ".50", "", "12"));
}

TEST(LayoutCup, CupSizeUsesTheExactProduct) {
  // ".30" of 240 is 71 (half 35), so the cup starts at 5 + 120 - 35.
  const IntRect cup = LayoutCup(kArea, ".30", "1", "1", "");
  EXPECT_EQ(90, cup.left);
  EXPECT_EQ(160, cup.right);
  // ".05" of 200 is 10: a box of 200 x 200 in a 210 x 210 area.
  const IntRect small = LayoutCup(Rect(0, 0, 210, 210), ".05", ".05", "1", "");
  EXPECT_EQ(Rect(100, 100, 110, 110), small);
}

TEST(LayoutCup, OddSizesAreHalvedSeparately) {
  // ".75" of 241 is 180.75 -> 180; the box width 241 is odd, so the cup is
  // 180 + 1 - 0 wide.
  const IntRect cup = LayoutCup(Rect(0, 0, 251, 240), ".75", "1", "1", "");
  EXPECT_EQ(5 + 120 - 90, cup.left);
  EXPECT_EQ(246 - 120 + 90, cup.right);
  EXPECT_EQ(181, cup.right - cup.left);
}

TEST(LayoutCup, FollowsAnOffsetClientRectangle) {
  const IntRect cup =
      LayoutCup(Rect(100, 200, 350, 440), ".30", ".50", "1", "12");
  EXPECT_EQ(Rect(190, 263, 260, 377), cup);
}

TEST(TruncExactProduct, WorkedSizes) {
  EXPECT_EQ(71, TruncExactProduct(atof(".30"), 240));
  EXPECT_EQ(72.0, atof(".30") * 240); // rounded to double it would be 72
  EXPECT_EQ(62, TruncExactProduct(atof(".70"), 90));
  EXPECT_EQ(10, TruncExactProduct(atof(".05"), 200));
  EXPECT_EQ(115, TruncExactProduct(atof(".50"), 230));
  EXPECT_EQ(60, TruncExactProduct(atof(".25"), 240));
  EXPECT_EQ(240, TruncExactProduct(atof("1"), 240));
  EXPECT_EQ(0, TruncExactProduct(atof("0"), 240));
}

TEST(TruncExactProduct, WholeDecimalProductsOfEveryListValue) {
  // The texts that parse just below their decimal value lose one whenever
  // the decimal product is whole; the others keep it.
  const char *const below[] = {".15", ".30", ".35", ".60", ".70", ".85", ".95"};
  for (int i = 0; i < kRimCount; ++i) {
    const char *text = kRimItems[i];
    const char *digits = text[0] == '-' ? text + 1 : text;
    bool isBelow = false;
    for (const char *b : below)
      isBelow = isBelow || strcmp(b, digits) == 0;
    const long long hundredths = 100 - 5 * i; // item i stands for 1 - .05 i
    for (long long n = 20; n < 2048; n += 20) {
      long long whole = hundredths * n / 100;
      if (isBelow)
        whole += whole > 0 ? -1 : 1;
      ASSERT_EQ(whole, TruncExactProduct(atof(text), n)) << text << " " << n;
      ASSERT_EQ(-whole, TruncExactProduct(atof(text), -n)) << text << " " << n;
    }
  }
}

#if LDBL_MANT_DIG == 64 && !defined(_WIN32)
TEST(TruncExactProduct, AgreesWithTheExtendedFormat) {
  for (int i = 0; i < kRimCount; ++i) {
    const double r = atof(kRimItems[i]);
    for (int n = 0; n < 2048; ++n) {
      const long double product = static_cast<long double>(r) * n;
      ASSERT_EQ(static_cast<long long>(product), TruncExactProduct(r, n))
          << kRimItems[i] << " " << n;
    }
  }
}
#endif

TEST(TruncExactProduct, AbsurdValuesSaturate) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_EQ(INT_MAX, TruncExactProduct(inf, 240));
  EXPECT_EQ(INT_MIN, TruncExactProduct(inf, -240));
  EXPECT_EQ(INT_MIN, TruncExactProduct(-inf, 240));
  EXPECT_EQ(0, TruncExactProduct(inf, 0));
  EXPECT_EQ(0, TruncExactProduct(nan, 240));
  EXPECT_EQ(0, TruncExactProduct(-nan, 240));
  EXPECT_EQ(INT_MAX, TruncExactProduct(1e300, 240));
  EXPECT_EQ(INT_MIN, TruncExactProduct(-1e300, 240));
  EXPECT_EQ(0, TruncExactProduct(1e-300, 240));
  EXPECT_EQ(0, TruncExactProduct(5e-324, LLONG_MAX)); // smallest subnormal
  EXPECT_EQ(0, TruncExactProduct(-0.0, 240));
}

TEST(TruncExactProduct, EdgesOfTheIntRange) {
  EXPECT_EQ(2147483647, TruncExactProduct(0.5, 4294967294LL));
  EXPECT_EQ(INT_MAX, TruncExactProduct(0.5, 4294967296LL));
  EXPECT_EQ(INT_MIN, TruncExactProduct(-0.5, 4294967296LL));
  EXPECT_EQ(INT_MIN, TruncExactProduct(0.5, -4294967298LL));
  EXPECT_EQ(-2147483647, TruncExactProduct(-0.5, 4294967295LL));
  EXPECT_EQ(INT_MAX, TruncExactProduct(2147483648.0, 1));
  EXPECT_EQ(INT_MIN, TruncExactProduct(-2147483648.0, 1));
  EXPECT_EQ(INT_MIN, TruncExactProduct(0.75, LLONG_MIN));
  EXPECT_EQ(INT_MAX, TruncExactProduct(4503599627370496.0, 1)); // 2^52
  // Large factors still multiply exactly: (2^53 - 1) / 2^60 * 2^40.
  EXPECT_EQ(2147483647,
            TruncExactProduct(ldexp(9007199254740991.0, -60), 1LL << 40));
}

TEST(TruncToInt, TruncatesTowardZero) {
  EXPECT_EQ(-52, TruncToInt(-52.9999999942));
  EXPECT_EQ(88, TruncToInt(88.99));
  EXPECT_EQ(0, TruncToInt(-0.5));
  EXPECT_EQ(-8, TruncToInt(-8.96));
  EXPECT_EQ(7, TruncToInt(7.0));
}

TEST(TruncToInt, SaturatesAndMapsNanToZero) {
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(0, TruncToInt(std::numeric_limits<double>::quiet_NaN()));
  EXPECT_EQ(INT_MAX, TruncToInt(inf));
  EXPECT_EQ(INT_MIN, TruncToInt(-inf));
  EXPECT_EQ(INT_MAX, TruncToInt(1e300));
  EXPECT_EQ(INT_MIN, TruncToInt(-1e300));
  EXPECT_EQ(INT_MAX, TruncToInt(2147483647.9));
  EXPECT_EQ(INT_MAX, TruncToInt(2147483648.0));
  EXPECT_EQ(INT_MIN, TruncToInt(-2147483648.9));
  EXPECT_EQ(INT_MIN, TruncToInt(-2147483649.0));
  EXPECT_EQ(-2147483647, TruncToInt(-2147483647.5));
}

TEST(LayoutCup, HugeRatioClampsTheCupSize) {
  // swidth saturates to INT_MAX, whose half is 1073741823.
  const IntRect cup = LayoutCup(kArea, "1e300", ".50", "1", "");
  EXPECT_EQ(5 + 120 - 1073741823, cup.left);
  EXPECT_EQ(245 - 120 + 1073741823, cup.right);
  EXPECT_EQ(63, cup.top);
  EXPECT_EQ(177, cup.bottom);
}

TEST(LayoutCup, HugeRimMoveSaturates) {
  const IntRect down = LayoutCup(kArea, ".30", ".50", "-1e300", "6");
  EXPECT_EQ(INT_MAX, down.top);
  EXPECT_EQ(INT_MAX, down.bottom);
  EXPECT_EQ(90, down.left);
  const IntRect left = LayoutCup(kArea, ".30", ".50", "-1e300", "9");
  // The moved box saturates at INT_MIN; the cup is then centred in it.
  EXPECT_EQ(INT_MIN + 120 - 35, left.left);
  EXPECT_EQ(INT_MIN + 240 - 120 + 35, left.right);
  EXPECT_EQ(63, left.top);
}

TEST(LayoutCup, HugeRectangleStaysDefined) {
  const IntRect all = {INT_MIN, INT_MIN, INT_MAX, INT_MAX};
  // The box is 2^32 - 11 wide; a ratio of 1 saturates the cup to INT_MAX.
  const IntRect cup = LayoutCup(all, "1", "1", "1", "");
  const long long half = (4294967296LL - 11) / 2;
  const long long want =
      static_cast<long long>(INT_MIN) + 5 + half - INT_MAX / 2;
  EXPECT_EQ(want, cup.left);
  EXPECT_EQ(want, cup.top);
  EXPECT_EQ(static_cast<long long>(INT_MAX) - 5 - half + INT_MAX / 2,
            cup.right);
}

} // namespace
