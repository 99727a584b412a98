#include "render/render.h"

void SelectEllipseClip(HDC hdc, const IntRect &box) {
  BeginPath(hdc);
  Ellipse(hdc, box.left, box.top, box.right, box.bottom);
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
