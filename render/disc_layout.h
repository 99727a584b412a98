// The disc's two rectangles in the sketch area.
#pragma once

#include "render/int_rect.h"

struct DiscLayout {
  IntRect clip; // ellipse of the whole client rectangle: the clip outline
  IntRect disc; // client rectangle inset by 6: the visible disc
};

DiscLayout LayoutDisc(const IntRect &client);

// The ellipse that clips the cup in Redraw: the client rectangle inset by 5.
IntRect CupClipRect(const IntRect &client);
