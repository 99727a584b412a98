// Drawing the sketch: disc, cup, clock ring, and the redraw after a change.
#pragma once

#include <windows.h>

#include "render/int_rect.h"

void DrawBackroundEllipse(HDC hdc);
void DrawForegroundEllipse(HDC hdc);
void DrawRing(HDC hdc);
void EraseRing(HDC hdc);
void Redraw();
void DrawBitmap(HDC hdc, int xStart, int yStart, HBITMAP hBitmap);

// A DC for the clock ring: its origin is the sketch area's top-left corner,
// but it clips to the dialog, so labels beyond the sketch area show.
// Give it back with ReleaseRingDC.
HDC GetRingDC();
void ReleaseRingDC(HDC hdc);

// The sketch area's client rectangle, which places everything the drawing
// does; false, with nothing to draw, when the dialog has none (a stale
// ghwnd).
bool SketchAreaClient(RECT *rc);

// The elliptic clip that keeps disc and cup inside their bounds.
void SelectEllipseClip(HDC hdc, const IntRect &box);
// The ellipse of `box` filled and outlined in `colour` (disc and cup); the
// DC's own pen and brush stay selected.
void FillEllipse(HDC hdc, COLORREF colour, int penWidth, const IntRect &box);
