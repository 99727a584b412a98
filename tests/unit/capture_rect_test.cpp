#include "export/capture_rect.h"

#include <gtest/gtest.h>

namespace {

IntRect Rect(int l, int t, int r, int b) {
  IntRect rc = {l, t, r, b};
  return rc;
}

TEST(ComputeCaptureRect, FrameOnTheScreenLosesItsBottomRow) {
  const CaptureRect c = ComputeCaptureRect(Rect(0, 0, 300, 278), 1024, 768);
  EXPECT_EQ(0, c.nX);
  EXPECT_EQ(0, c.nY);
  EXPECT_EQ(300, c.nX2);
  EXPECT_EQ(278, c.nY2);
  EXPECT_EQ(300, c.nWidth);
  EXPECT_EQ(277, c.nHeight);
}

TEST(ComputeCaptureRect, FrameLargerThanTheScreenIsCut) {
  const CaptureRect c = ComputeCaptureRect(Rect(0, 0, 1300, 900), 1024, 768);
  EXPECT_EQ(1024, c.nX2);
  EXPECT_EQ(768, c.nY2);
  EXPECT_EQ(1024, c.nWidth);
  EXPECT_EQ(767, c.nHeight);
}

TEST(ComputeCaptureRect, OnlyTheOversizedSideIsCut) {
  const CaptureRect c = ComputeCaptureRect(Rect(0, 0, 1300, 278), 1024, 768);
  EXPECT_EQ(1024, c.nWidth);
  EXPECT_EQ(277, c.nHeight);
}

TEST(ComputeCaptureRect, HeightOfOneGivesNoRows) {
  const CaptureRect c = ComputeCaptureRect(Rect(0, 0, 300, 1), 1024, 768);
  EXPECT_EQ(300, c.nWidth);
  EXPECT_EQ(0, c.nHeight);
}

TEST(ComputeCaptureRect, NegativeCornerStartsAtZero) {
  const CaptureRect c = ComputeCaptureRect(Rect(-5, -7, 100, 50), 1024, 768);
  EXPECT_EQ(0, c.nX);
  EXPECT_EQ(0, c.nY);
  EXPECT_EQ(100, c.nWidth);
  EXPECT_EQ(49, c.nHeight);
}

TEST(ComputeCaptureRect, PositiveCornerIsKept) {
  const CaptureRect c = ComputeCaptureRect(Rect(10, 20, 110, 70), 1024, 768);
  EXPECT_EQ(10, c.nX);
  EXPECT_EQ(20, c.nY);
  EXPECT_EQ(100, c.nWidth);
  EXPECT_EQ(49, c.nHeight);
}

} // namespace
