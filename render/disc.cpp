#include "render/disc_layout.h"
#include "render/render.h"
#include "render/sketch_colours.h"
#include "render/win32_rect.h"

void DrawBackroundEllipse(HDC hdc) {
  // Without the sketch area's rectangle there is no disc to place.
  RECT rc;
  if (!SketchAreaClient(&rc))
    return;
  DiscLayout layout = LayoutDisc(ToIntRect(rc));
  SelectEllipseClip(hdc, layout.clip);
  FillEllipse(hdc, kDiscColour, 2, layout.disc);
}
