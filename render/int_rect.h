// A rectangle in integer pixels, laid out like the platform's RECT, so the
// pure layout code can be shared by the plug-in and by native tools.
#pragma once

#include <limits.h>

struct IntRect {
  int left;
  int top;
  int right;
  int bottom;
};

inline bool operator==(const IntRect &a, const IntRect &b) {
  return a.left == b.left && a.top == b.top && a.right == b.right &&
         a.bottom == b.bottom;
}

// Integer geometry is carried in 64 bits and saturated into int range at
// the end, so that absurd rectangles give defined results.
inline int ClampToInt(long long v) {
  if (v > INT_MAX)
    return INT_MAX;
  if (v < INT_MIN)
    return INT_MIN;
  return static_cast<int>(v);
}
