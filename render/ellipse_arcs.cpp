#include "render/ellipse_arcs.h"

// The control points are those the system's own Ellipse puts in a path
// (as Wine records it), so that the clip is the region it was: the same
// arc factor, a little above 4/3 (sqrt 2 - 1), and the same rounding.
static const double kArcFactor = 0.55428475;

// Halves up; every value rounded here is 0 or more.
static long long RoundHalfUp(double value) {
  return static_cast<long long>(value + 0.5);
}

int EllipseArcs(const IntRect &box, ArcPoint points[kEllipseArcPoints]) {
  long long x0 = box.left, y0 = box.top, x1 = box.right, y1 = box.bottom;
  if (x0 > x1) {
    const long long t = x0;
    x0 = x1;
    x1 = t;
  }
  if (y0 > y1) {
    const long long t = y0;
    y0 = y1;
    y1 = t;
  }
  if (x0 == x1 || y0 == y1)
    return 0;
  // The right column and the bottom row lie outside, as for a filled
  // Ellipse.
  --x1;
  --y1;
  const double width = static_cast<double>(x1 - x0) / 2.0;
  const double height = static_cast<double>(y1 - y0) / 2.0;
  const long long w = RoundHalfUp(width), h = RoundHalfUp(height);
  const long long wc = RoundHalfUp(width * (1 - kArcFactor));
  const long long hc = RoundHalfUp(height * (1 - kArcFactor));
  const long long xy[kEllipseArcPoints][2] = {
      {x1, y0 + h},                               // start: rightmost
      {x1, y0 + hc}, {x1 - wc, y0}, {x0 + w, y0}, // to the top
      {x0 + wc, y0}, {x0, y0 + hc}, {x0, y0 + h}, // to the left
      {x0, y1 - hc}, {x0 + wc, y1}, {x0 + w, y1}, // to the bottom
      {x1 - wc, y1}, {x1, y1 - hc}, {x1, y1 - h}, // back to the right
  };
  for (int i = 0; i < kEllipseArcPoints; ++i)
    points[i] = ArcPoint{ClampToInt(xy[i][0]), ClampToInt(xy[i][1])};
  return kEllipseArcPoints;
}
