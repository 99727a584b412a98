#include "tests/wine/pixels.h"

#include "stand-in-host/clipboard_picture.h"

COLORREF Snapshot::At(int x, int y) const {
  if (!Contains(x, y))
    return CLR_INVALID;
  uint32_t p = pixels[size_t(y) * width + x];
  return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
}

Snapshot SnapClient(HWND window) {
  Snapshot snap;
  RECT rc;
  GetClientRect(window, &rc);
  HDC hdc = GetDC(window);
  if (CopyDCPixels(hdc, rc.right, rc.bottom, &snap.pixels)) {
    snap.width = rc.right;
    snap.height = rc.bottom;
  }
  ReleaseDC(window, hdc);
  return snap;
}

RECT BoxOf(const Snapshot &snap, COLORREF colour, const RECT &area) {
  RECT box = {area.right, area.bottom, area.left - 1, area.top - 1};
  for (int y = area.top; y < area.bottom; ++y)
    for (int x = area.left; x < area.right; ++x)
      if (snap.At(x, y) == colour) {
        if (x < box.left)
          box.left = x;
        if (x > box.right)
          box.right = x;
        if (y < box.top)
          box.top = y;
        if (y > box.bottom)
          box.bottom = y;
      }
  return box;
}

bool IsDark(COLORREF c) {
  return GetRValue(c) < 100 && GetGValue(c) < 100 && GetBValue(c) < 100;
}
