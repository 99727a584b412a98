#include "render/render.h"

#include "render/ellipse_arcs.h"

// Windows 95, 98 and ME record no Ellipse in a path, only lines and Bézier
// curves: the clip is the Ellipse's own four arcs (tests/check-paths.sh).
void SelectEllipseClip(HDC hdc, const IntRect &box) {
  ArcPoint arcs[kEllipseArcPoints];
  POINT points[kEllipseArcPoints];
  const int count = EllipseArcs(box, arcs);
  for (int i = 0; i < count; ++i) {
    points[i].x = arcs[i].x;
    points[i].y = arcs[i].y;
  }
  BeginPath(hdc);
  if (count > 0) {
    PolyBezier(hdc, points, count);
    CloseFigure(hdc);
  }
  EndPath(hdc);
  SelectClipPath(hdc, RGN_COPY);
}

void FillEllipse(HDC hdc, COLORREF colour, int penWidth, const IntRect &box) {
  HPEN pen = CreatePen(PS_SOLID, penWidth, colour);
  HBRUSH brush = CreateSolidBrush(colour);
  HGDIOBJ hpenOld = SelectObject(hdc, pen);
  HGDIOBJ hbrushOld = SelectObject(hdc, brush);
  Ellipse(hdc, box.left, box.top, box.right, box.bottom);
  SelectObject(hdc, hpenOld);
  DeleteObject(pen);
  SelectObject(hdc, hbrushOld);
  DeleteObject(brush);
}
