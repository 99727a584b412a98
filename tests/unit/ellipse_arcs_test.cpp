#include "render/ellipse_arcs.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/unit/int_rect_printer.h"

namespace {

std::vector<int> Arcs(const IntRect &box) {
  ArcPoint points[kEllipseArcPoints];
  const int count = EllipseArcs(box, points);
  std::vector<int> xy;
  for (int i = 0; i < count; ++i) {
    xy.push_back(points[i].x);
    xy.push_back(points[i].y);
  }
  return xy;
}

TEST(EllipseArcs, PointsAnEllipseRecordsInAPath) {
  // The cup's clip in a 250 x 240 sketch area: half-axes 119.5 and 114.5,
  // control points 53 and 51 pixels from the ends of the axes.
  const std::vector<int> cupClip = {244, 120, 244, 56,  191, 5,   125, 5,  58,
                                    5,   5,   56,  5,   120, 5,   183, 58, 234,
                                    125, 234, 191, 234, 244, 183, 244, 119};
  // Three pixels: the control points fall on the ends.
  const std::vector<int> tiny = {2, 1, 2, 0, 2, 0, 1, 0, 0, 0, 0, 0, 0,
                                 1, 0, 2, 0, 2, 1, 2, 2, 2, 2, 2, 2, 1};
  const struct {
    IntRect box;
    std::vector<int> points;
  } rows[] = {
      {{5, 5, 245, 235}, cupClip},
      {{245, 235, 5, 5}, cupClip}, // corners given the other way round
      {{0, 0, 3, 3}, tiny},
      {{10, 10, 10, 50}, {}}, // no area: nothing recorded
      {{10, 10, 50, 10}, {}},
  };
  for (const auto &row : rows)
    EXPECT_EQ(row.points, Arcs(row.box)) << ::testing::PrintToString(row.box);
}

} // namespace
