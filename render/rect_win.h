// The platform's RECT as the pure layouts' IntRect, which has its layout.
#pragma once

#include <windows.h>

#include "render/int_rect.h"

inline IntRect ToIntRect(const RECT &rc) {
  return IntRect{rc.left, rc.top, rc.right, rc.bottom};
}
