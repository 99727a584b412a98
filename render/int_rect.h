// A rectangle in integer pixels, laid out like the platform's RECT, so the
// pure layout code can be shared by the plug-in and by native tools.
#pragma once

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
