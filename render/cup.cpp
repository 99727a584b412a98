#include "render/cup_layout.h"
#include "render/render.h"
#include "render/sketch_colours.h"
#include "render/win32_rect.h"
#include "resources/orbitrace_res.h"
#include "sketch/sketch_state.h"

void DrawForegroundEllipse(HDC hdc) {
  char XText[256], YText[256], Offset[256], Position[256];
  // Without the sketch area's rectangle there is no cup to place.
  RECT rc;
  if (!SketchAreaClient(&rc))
    return;
  // Unread texts stay empty rather than holding stack garbage.
  XText[0] = YText[0] = Offset[0] = Position[0] = '\0';
  GetWindowTextA(GetDlgItem(ghwnd, IDC_VERTICAL), YText, sizeof YText);
  GetWindowTextA(GetDlgItem(ghwnd, IDC_HORIZONTAL), XText, sizeof XText);
  GetWindowTextA(GetDlgItem(ghwnd, IDC_RIM), Offset, sizeof Offset);
  GetWindowTextA(GetDlgItem(ghwnd, IDC_LOCATION), Position, sizeof Position);

  IntRect cup = LayoutCup(ToIntRect(rc), XText, YText, Offset, Position);
  FillEllipse(hdc, kCupColour, 1, cup);
}
