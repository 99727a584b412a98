#include "render/cup_layout.h"
#include "render/render.h"
#include "render/sketch_colours.h"

void DrawForegroundEllipse(HDC hdc, const IntRect &client,
                           const SketchValues &values) {
  IntRect cup = LayoutCup(client, values.horizontal, values.vertical,
                          values.rim, values.hour);
  FillEllipse(hdc, kCupColour, 1, cup);
}
