// Where the twelve hour labels of the clock ring go.
#pragma once

#include "render/int_rect.h"

enum { kRingLabelCount = 12 };

struct RingLabel {
  char text[3]; // "1" .. "12", zero-terminated
  int count;    // characters in text
  int xPos;     // top-left of the text cell, sketch-area coordinates
  int yPos;
};

// rect: the sketch area's client rectangle; lh, aw: tmHeight and
// tmAveCharWidth of the drawing surface's font. Fills `labels` in drawing
// order: 12, 1, 2, 3, 4, 5, 6, 11, 10, 9, 8, 7.
void LayoutRing(const IntRect &rect, int lh, int aw,
                RingLabel labels[kRingLabelCount]);
