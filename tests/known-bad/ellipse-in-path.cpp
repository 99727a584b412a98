// The elliptic clip as it was: an Ellipse in the path, which Windows 95, 98
// and ME do not record, and a call of our own inside the bracket.
#include <windows.h>

static void AddOutline(HDC hdc) { LineTo(hdc, 0, 0); }

void SelectEllipseClip(HDC hdc, const RECT &box) {
  BeginPath(hdc);
  Ellipse(hdc, box.left, box.top, box.right, box.bottom);
  AddOutline(hdc);
  EndPath(hdc);
  SelectClipPath(hdc, RGN_COPY);
}
