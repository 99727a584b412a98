// A chart's series made no longer than its width needs: a patient seen
// on thousands of dates gives a line of thousands of points, most of them
// in the same pixel column, which would make the chart's file and memory
// grow with the visits.
#pragma once

#include <vector>

struct ChartPoint {
  double x, y;
};

// `points`, in order of x, with only the first, lowest, highest and last
// point of each column `columnWidth` wide: the line drawn through them
// covers the same pixels. At most four points a column, in their order.
std::vector<ChartPoint> ThinToColumns(const std::vector<ChartPoint> &points,
                                      double columnWidth);
