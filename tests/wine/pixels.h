// What a window shows on the screen, read in one go.
#pragma once

#include <windows.h>

#include <stdint.h>

#include <ostream>
#include <string>
#include <vector>

#include "render/sketch_colours.h"
#include "tests/unit/int_rect_printer.h"

// A colour as tests compare it. Failure messages show it as RGB(r, g, b);
// a bare COLORREF would show as one large number.
struct Colour {
  COLORREF ref = 0;
  Colour() = default;
  Colour(COLORREF c) : ref(c) {} // implicit: as RGB() gives colours
};
inline bool operator==(Colour a, Colour b) { return a.ref == b.ref; }
inline bool operator!=(Colour a, Colour b) { return a.ref != b.ref; }
std::ostream &operator<<(std::ostream &os, Colour c);
inline void PrintTo(Colour c, std::ostream *os) { *os << c; }

// The sketch's colours, as tests compare them.
const Colour kDisc = kDiscColour;
const Colour kCup = kCupColour;
const Colour kGreyedLabel = kGreyedLabelColour;

// Failure messages show a RECT as (left, top, right, bottom).
inline bool operator==(const RECT &a, const RECT &b) {
  return EqualRect(&a, &b) != 0;
}
inline bool operator!=(const RECT &a, const RECT &b) { return !(a == b); }
inline void PrintTo(const RECT &r, std::ostream *os) {
  PrintTo(IntRect{r.left, r.top, r.right, r.bottom}, os);
}

struct Snapshot {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels; // 0x00RRGGBB, top-down rows

  bool Contains(int x, int y) const {
    return x >= 0 && y >= 0 && x < width && y < height;
  }
  Colour At(int x, int y) const; // CLR_INVALID outside
};

// The client area of `window` as the screen shows it (children included
// where the window does not clip them).
Snapshot SnapClient(HWND window);

// Smallest rectangle (right and bottom inclusive) holding every pixel of
// `colour` inside `area`; empty (left > right) when there is none.
RECT BoxOf(const Snapshot &snap, Colour colour, const RECT &area);

bool IsDark(Colour c);

// Bits per pixel of the screen, as it was first asked.
int DisplayBits();

// Whether the screen shows `want` as `got`: exactly at 24 bits and more,
// within the rounding of 5 or 6 bits a channel at 16. At 8 bits and fewer
// colours are dithered and any colour is accepted; a test says so when
// ColoursComparable() is false.
bool ShowsColour(Colour got, Colour want);
bool ColoursComparable();
