#include "export/capture_rect.h"

#include <limits.h>

CaptureRect ComputeCaptureRect(const IntRect &rect, int xScrn, int yScrn) {
  CaptureRect c;
  c.nX = rect.left < 0 ? 0 : rect.left;
  c.nY = rect.top < 0 ? 0 : rect.top;
  c.nX2 = rect.right > xScrn ? xScrn : rect.right;
  c.nY2 = rect.bottom > yScrn ? yScrn : rect.bottom;
  c.nWidth = ClampToInt(static_cast<long long>(c.nX2) - c.nX);
  // The bottom row of the clipped area is left out of the picture.
  c.nHeight = ClampToInt(static_cast<long long>(c.nY2) - c.nY - 1);
  return c;
}
