// The ellipse of a box as four cubic Bézier arcs: the control points of
// the elliptic clip, recorded in a path with PolyBezier, which every
// Windows records there (Windows 95, 98 and ME record no Ellipse in a
// path).
#pragma once

#include "render/int_rect.h"

struct ArcPoint {
  int x;
  int y;
};

// A start point and three points for each of the four arcs.
enum { kEllipseArcPoints = 13 };

// The points an Ellipse of `box` records in a path in the default
// graphics mode and arc direction: the ellipse inscribed in the box
// without its right column and bottom row, counter-clockwise from its
// rightmost point. Returns kEllipseArcPoints, or 0 for a box without
// area, for which Ellipse records nothing either.
int EllipseArcs(const IntRect &box, ArcPoint points[kEllipseArcPoints]);
