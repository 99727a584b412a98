#include "render/disc_layout.h"
#include "render/render.h"
#include "render/sketch_colours.h"
#include "render/win32_rect.h"
#include "resources/orbitrace_res.h"
#include "sketch/sketch_state.h"

void DrawBackroundEllipse(HDC hdc) {
  // Without the sketch area's rectangle there is no disc to place.
  RECT rc;
  if (!GetClientRect(GetDlgItem(ghwnd, IDC_SKETCH_AREA), &rc))
    return;
  DiscLayout layout = LayoutDisc(ToIntRect(rc));
  SelectEllipseClip(hdc, layout.clip);
  FillEllipse(hdc, kDiscColour, 2, layout.disc);
}
