#include "dialog/centring.h"

#include <gtest/gtest.h>

namespace {

IntRect Rect(int l, int t, int r, int b) {
  IntRect rc = {l, t, r, b};
  return rc;
}

TEST(CentredOrigin, CentresOnTheDesktop) {
  const IntPoint p =
      CentredOrigin(Rect(0, 0, 1024, 768), Rect(100, 100, 400, 300));
  EXPECT_EQ(362, p.x); // (1024 - 300) / 2
  EXPECT_EQ(284, p.y); // (768 - 200) / 2
}

TEST(CentredOrigin, CentresOverAnOffsetOwnerWhateverTheDialogPosition) {
  const IntPoint p =
      CentredOrigin(Rect(50, 60, 650, 460), Rect(-900, 700, -600, 901));
  EXPECT_EQ(50 + 150, p.x);
  EXPECT_EQ(60 + 99, p.y); // odd spare room 199 halves to 99
}

TEST(CentredOrigin, NegativeHalvesTruncateTowardZero) {
  // 201 and 101 pixels too large: halves are -100 and -50, not -101 and -51.
  const IntPoint p =
      CentredOrigin(Rect(10, 20, 110, 120), Rect(0, 0, 301, 201));
  EXPECT_EQ(10 - 100, p.x);
  EXPECT_EQ(20 - 50, p.y);
}

TEST(CentredOrigin, SameSizeLandsOnTheOwnersCorner) {
  const IntPoint p =
      CentredOrigin(Rect(-30, -40, 170, 160), Rect(5, 5, 205, 205));
  EXPECT_EQ(-30, p.x);
  EXPECT_EQ(-40, p.y);
}

} // namespace
