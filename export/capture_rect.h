// The part of the capture frame that is copied into the clipboard picture.
#pragma once

#include "render/int_rect.h"

struct CaptureRect {
  int nX, nY;   // picture pixel (0, 0) is the frame's pixel (nX, nY)
  int nX2, nY2; // clipped right and bottom
  int nWidth;
  int nHeight; // one row less than the clipped height
};

CaptureRect ComputeCaptureRect(const IntRect &rect, int xScrn, int yScrn);
