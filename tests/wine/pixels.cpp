#include "tests/wine/pixels.h"

#include <stdio.h>
#include <stdlib.h>

#include "stand-in-host/clipboard_picture.h"

Colour Snapshot::At(int x, int y) const {
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

RECT BoxOf(const Snapshot &snap, Colour colour, const RECT &area) {
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

bool IsDark(Colour c) {
  return GetRValue(c.ref) < 100 && GetGValue(c.ref) < 100 &&
         GetBValue(c.ref) < 100;
}

int DisplayBits() {
  // A run's display keeps its depth; asked once, since pictures are
  // compared pixel by pixel.
  static const int bits = [] {
    HDC screen = GetDC(nullptr);
    int n = GetDeviceCaps(screen, BITSPIXEL) * GetDeviceCaps(screen, PLANES);
    ReleaseDC(nullptr, screen);
    return n;
  }();
  return bits;
}

bool ColoursComparable() { return DisplayBits() >= 16; }

bool ShowsColour(Colour colourGot, Colour colourWanted) {
  const COLORREF got = colourGot.ref, want = colourWanted.ref;
  int bits = DisplayBits();
  if (bits >= 24)
    return got == want;
  if (bits < 16)
    return true;
  return abs(GetRValue(got) - GetRValue(want)) <= 8 &&
         abs(GetGValue(got) - GetGValue(want)) <= 8 &&
         abs(GetBValue(got) - GetBValue(want)) <= 8;
}

std::ostream &operator<<(std::ostream &os, Colour c) {
  if (c.ref == CLR_INVALID)
    return os << "(outside)";
  return os << "RGB(" << int(GetRValue(c.ref)) << ", " << int(GetGValue(c.ref))
            << ", " << int(GetBValue(c.ref)) << ")";
}
