#include "render/disc_layout.h"
#include "render/render_win.h"
#include "render/sketch_colours.h"

// From here on the sketch area's terms, as its own DC paints it.
static void EnterSketchArea(HDC hdc, const PictureLayout &layout) {
  POINT at = layout.sketchOrigin;
  SetViewportOrgEx(hdc, at.x, at.y, nullptr);
  SetBrushOrgEx(hdc, at.x, at.y, nullptr);
}

bool DrawPictureBase(HDC hdc, const PictureLayout &layout, HBRUSH face) {
  int saved = SaveDC(hdc);
  // The margin is the dialog's background, which the dialog's own erase
  // paints with its brush aligned to its client area.
  SetBrushOrgEx(hdc, layout.dialogOrigin.x, layout.dialogOrigin.y, nullptr);
  RECT all = {layout.picture.left, layout.picture.top, layout.picture.right,
              layout.picture.bottom};
  FillRect(hdc, &all, face);

  EnterSketchArea(hdc, layout);
  const IntRect &client = layout.client;
  RECT area = {client.left, client.top, client.right, client.bottom};
  FillRect(hdc, &area, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  // The screen shows the figures dark before OK greys them, and the grey is
  // drawn over the dark glyphs: where a glyph's edges are smoothed, the
  // two blend, and the exported figures have always been that blend.
  SetTextColor(hdc, kLabelColour);
  DrawRing(hdc, client);
  bool drawn = DrawBackroundEllipse(hdc, client);
  RestoreDC(hdc, saved);
  return drawn;
}

bool DrawPictureValues(HDC hdc, const PictureLayout &layout,
                       const SketchValues &values) {
  int saved = SaveDC(hdc);
  EnterSketchArea(hdc, layout);
  // The cup as the screen's redraw clips it (the disc under it is drawn).
  SelectEllipseClip(hdc, CupClipRect(layout.client));
  bool drawn = DrawForegroundEllipse(hdc, layout.client, values);
  // The grey figures cross the sketch area's edge.
  SelectClipRgn(hdc, nullptr);
  EraseRing(hdc, layout.client);
  RestoreDC(hdc, saved);
  return drawn;
}
