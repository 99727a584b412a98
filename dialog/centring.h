// Where the sketch dialog goes so that it is centred over its owner.
#pragma once

#include "render/int_rect.h"

struct IntPoint {
  int x;
  int y;
};

// Top-left corner that centres `dialog` over `owner` (screen coordinates).
// Halves truncate toward zero, so a dialog larger than its owner lands left
// of or above the owner's corner.
IntPoint CentredOrigin(const IntRect &owner, const IntRect &dialog);
