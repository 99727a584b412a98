// What a window shows on the screen, read in one go.
#pragma once

#include <windows.h>

#include <stdint.h>

#include <string>
#include <vector>

struct Snapshot {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels; // 0x00RRGGBB, top-down rows

  bool Contains(int x, int y) const {
    return x >= 0 && y >= 0 && x < width && y < height;
  }
  COLORREF At(int x, int y) const; // as RGB(); CLR_INVALID outside
};

// The client area of `window` as the screen shows it (children included
// where the window does not clip them).
Snapshot SnapClient(HWND window);

// Smallest rectangle (right and bottom inclusive) holding every pixel of
// `colour` inside `area`; empty (left > right) when there is none.
RECT BoxOf(const Snapshot &snap, COLORREF colour, const RECT &area);

bool IsDark(COLORREF c);

// Bits per pixel of the screen, as it was first asked.
int DisplayBits();

// Whether the screen shows `want` as `got`: exactly at 24 bits and more,
// within the rounding of 5 or 6 bits a channel at 16. At 8 bits and fewer
// colours are dithered and any colour is accepted; a test says so when
// ColoursComparable() is false.
bool ShowsColour(COLORREF got, COLORREF want);
bool ColoursComparable();

// "#RRGGBB", for messages.
std::string Hex(COLORREF c);
