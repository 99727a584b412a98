#include "render/cup_layout.h"
#include "render/render_win.h"
#include "render/sketch_colours.h"

bool DrawForegroundEllipse(HDC hdc, const IntRect &client,
                           const SketchValues &values) {
  IntRect cup = LayoutCup(client, values.horizontal, values.vertical,
                          values.rim, values.position);
  return FillEllipse(hdc, kCupColour, 1, cup);
}
