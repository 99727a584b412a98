// Failure messages show an IntRect as (left, top, right, bottom), not as
// its bytes.
#pragma once

#include <ostream>

#include "render/int_rect.h"

inline void PrintTo(const IntRect &r, std::ostream *os) {
  *os << "(" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom
      << ")";
}
