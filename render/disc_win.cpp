#include "render/disc_layout.h"
#include "render/render_win.h"
#include "render/sketch_colours.h"

bool DrawBackroundEllipse(HDC hdc, const IntRect &client) {
  DiscLayout layout = LayoutDisc(client);
  SelectEllipseClip(hdc, layout.clip);
  return FillEllipse(hdc, kDiscColour, 2, layout.disc);
}
