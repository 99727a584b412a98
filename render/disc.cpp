#include "render/disc_layout.h"
#include "render/render.h"
#include "render/sketch_colours.h"

void DrawBackroundEllipse(HDC hdc, const IntRect &client) {
  DiscLayout layout = LayoutDisc(client);
  SelectEllipseClip(hdc, layout.clip);
  FillEllipse(hdc, kDiscColour, 2, layout.disc);
}
