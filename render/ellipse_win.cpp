#include "render/render_win.h"

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

bool FillEllipse(HDC hdc, COLORREF colour, int penWidth, const IntRect &box) {
  HPEN pen = CreatePen(PS_SOLID, penWidth, colour);
  HBRUSH brush = CreateSolidBrush(colour);
  HGDIOBJ hpenOld = pen != nullptr ? SelectObject(hdc, pen) : nullptr;
  HGDIOBJ hbrushOld = brush != nullptr ? SelectObject(hdc, brush) : nullptr;
  // Without its own pen and brush the shape would take the DC's.
  bool drawn = hpenOld != nullptr && hbrushOld != nullptr &&
               Ellipse(hdc, box.left, box.top, box.right, box.bottom);
  if (hpenOld != nullptr)
    SelectObject(hdc, hpenOld);
  if (pen != nullptr)
    DeleteObject(pen);
  if (hbrushOld != nullptr)
    SelectObject(hdc, hbrushOld);
  if (brush != nullptr)
    DeleteObject(brush);
  return drawn;
}
