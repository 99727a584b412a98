#include "render/render.h"

void SelectEllipseClip(HDC hdc, const IntRect &box) {
  BeginPath(hdc);
  Ellipse(hdc, box.left, box.top, box.right, box.bottom);
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
