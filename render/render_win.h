// Drawing the sketch: disc, cup, clock ring, the redraw after a change and
// the picture that OK exports. Every drawing function draws into the DC it
// is given, in the sketch area's client coordinates (`client`: the area's
// client rectangle), from the values it is given; only Redraw and
// SelectedValues look for the open dialog.
#pragma once

#include <windows.h>

#include "render/int_rect.h"
#include "sketch/parameter_fields.h"

// The four value texts a sketch is drawn from.
struct SketchValues {
  char horizontal[kFieldSize];
  char vertical[kFieldSize];
  char position[kFieldSize];
  char rim[kFieldSize];
};

// The combo boxes' current texts: what the screen shows. Empty texts when
// the dialog has no such controls.
SketchValues SelectedValues(HWND dialog);

// Disc and cup; false if a pen or brush could not be made or selected.
bool DrawBackroundEllipse(HDC hdc, const IntRect &client);
bool DrawForegroundEllipse(HDC hdc, const IntRect &client,
                           const SketchValues &values);
// The hour figures in the DC's text colour.
void DrawRing(HDC hdc, const IntRect &client);
// The hour figures in their light grey, drawn over the dark ones.
void EraseRing(HDC hdc, const IntRect &client);
// The disc, then the cup clipped to an ellipse 5 pixels inside the area.
void DrawDiscAndCup(HDC hdc, const IntRect &client, const SketchValues &values);
// The open dialog's disc and cup drawn afresh on the screen from its combo
// boxes; nothing without a sketch area (a stale ghwnd).
void Redraw();
void DrawBitmap(HDC hdc, int xStart, int yStart, HBITMAP hBitmap);

// Where the picture's parts lie, in the target's device coordinates.
struct PictureLayout {
  IntRect picture;    // what is drawn: the capture frame's part taken
  POINT dialogOrigin; // the dialog's client origin
  POINT sketchOrigin; // the sketch area's top-left corner
  IntRect client;     // the sketch area's client rectangle
};

// The picture OK exports, as an unobscured screen shows the dialog at OK,
// in two layers. First what no value changes: the margin in `face` (the
// dialog's background brush), the white sketch area, the hour figures and
// the disc. Then the cup, and the figures greyed over all of it. Each fill
// is aligned as the screen aligns it, to the origin of the window it is
// painted in, so that a display that dithers dithers alike. Both leave the
// DC's origins, clip, colours and objects as they found them, and return
// false if a part could not be drawn as it should.
bool DrawPictureBase(HDC hdc, const PictureLayout &layout, HBRUSH face);
bool DrawPictureValues(HDC hdc, const PictureLayout &layout,
                       const SketchValues &values);

// The elliptic clip that keeps disc and cup inside their bounds.
void SelectEllipseClip(HDC hdc, const IntRect &box);
// The ellipse of `box` filled and outlined in `colour` (disc and cup); the
// DC's own pen and brush stay selected. False, with nothing drawn, if its
// pen or brush cannot be made or selected.
bool FillEllipse(HDC hdc, COLORREF colour, int penWidth, const IntRect &box);
