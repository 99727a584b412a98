#include "export/capture_rect.h"
#include "tests/unit/int_rect_printer.h"

#include <gtest/gtest.h>

namespace {

// The frame's rectangle on a 1024 x 768 screen, and the part of it copied.
TEST(ComputeCaptureRect, CutsTheFrameToTheScreenAndLeavesOutItsBottomRow) {
  const struct {
    const char *what;
    IntRect frame;
    CaptureRect want; // nX, nY, nX2, nY2, nWidth, nHeight
  } cases[] = {
      {"on the screen", {0, 0, 300, 278}, {0, 0, 300, 278, 300, 277}},
      {"larger than the screen",
       {0, 0, 1300, 900},
       {0, 0, 1024, 768, 1024, 767}},
      {"only the wider side cut",
       {0, 0, 1300, 278},
       {0, 0, 1024, 278, 1024, 277}},
      {"one row high gives none", {0, 0, 300, 1}, {0, 0, 300, 1, 300, 0}},
      {"corner above and left of the screen",
       {-5, -7, 100, 50},
       {0, 0, 100, 50, 100, 49}},
      {"corner within the screen kept",
       {10, 20, 110, 70},
       {10, 20, 110, 70, 100, 49}},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.what);
    const CaptureRect got = ComputeCaptureRect(c.frame, 1024, 768);
    EXPECT_EQ(c.want.nX, got.nX) << testing::PrintToString(c.frame);
    EXPECT_EQ(c.want.nY, got.nY);
    EXPECT_EQ(c.want.nX2, got.nX2);
    EXPECT_EQ(c.want.nY2, got.nY2);
    EXPECT_EQ(c.want.nWidth, got.nWidth);
    EXPECT_EQ(c.want.nHeight, got.nHeight);
  }
}

} // namespace
