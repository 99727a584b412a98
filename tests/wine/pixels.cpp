#include "tests/wine/pixels.h"

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
  snap.width = rc.right;
  snap.height = rc.bottom;
  BITMAPINFO bmi = {};
  bmi.bmiHeader.biSize = sizeof bmi.bmiHeader;
  bmi.bmiHeader.biWidth = snap.width;
  bmi.bmiHeader.biHeight = -snap.height;
  bmi.bmiHeader.biPlanes = 1;
  bmi.bmiHeader.biBitCount = 32;
  bmi.bmiHeader.biCompression = BI_RGB;
  void *bits = nullptr;
  HDC hdc = GetDC(window);
  HBITMAP section =
      CreateDIBSection(hdc, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HDC mem = CreateCompatibleDC(hdc);
  HGDIOBJ old = SelectObject(mem, section);
  if (section && BitBlt(mem, 0, 0, snap.width, snap.height, hdc, 0, 0, SRCCOPY)) {
    const uint32_t *p = static_cast<const uint32_t *>(bits);
    snap.pixels.assign(p, p + size_t(snap.width) * snap.height);
    for (uint32_t &px : snap.pixels)
      px &= 0xFFFFFF;
  } else {
    snap.width = snap.height = 0;
  }
  SelectObject(mem, old);
  DeleteDC(mem);
  if (section)
    DeleteObject(section);
  ReleaseDC(window, hdc);
  return snap;
}

RECT BoxOf(const Snapshot &snap, COLORREF colour, const RECT &area) {
  RECT box = {area.right, area.bottom, area.left - 1, area.top - 1};
  for (int y = area.top; y < area.bottom; ++y)
    for (int x = area.left; x < area.right; ++x)
      if (snap.At(x, y) == colour) {
        if (x < box.left) box.left = x;
        if (x > box.right) box.right = x;
        if (y < box.top) box.top = y;
        if (y > box.bottom) box.bottom = y;
      }
  return box;
}

bool IsDark(COLORREF c) {
  return GetRValue(c) < 100 && GetGValue(c) < 100 && GetBValue(c) < 100;
}
