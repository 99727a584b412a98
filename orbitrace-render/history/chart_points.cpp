#include "orbitrace-render/history/chart_points.h"

#include <math.h>

#include <algorithm>

std::vector<ChartPoint> ThinToColumns(const std::vector<ChartPoint> &points,
                                      double columnWidth) {
  std::vector<ChartPoint> out;
  size_t start = 0;
  while (start < points.size()) {
    const double column = floor(points[start].x / columnWidth);
    size_t end = start + 1;
    while (end < points.size() && floor(points[end].x / columnWidth) == column)
      ++end;
    // The four kept points' indices, in their order, each once.
    size_t low = start, high = start;
    for (size_t i = start; i < end; ++i) {
      if (points[i].y < points[low].y)
        low = i;
      if (points[i].y > points[high].y)
        high = i;
    }
    size_t kept[] = {start, low, high, end - 1};
    std::sort(kept, kept + 4);
    for (size_t k = 0; k < 4; ++k)
      if (k == 0 || kept[k] != kept[k - 1])
        out.push_back(points[kept[k]]);
    start = end;
  }
  return out;
}
