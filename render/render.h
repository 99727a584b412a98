// Drawing the sketch: disc, cup, clock ring, and the redraw after a change.
#pragma once

#include <windows.h>

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

// The elliptic clip that keeps the cup inside the disc.
void SelectEllipseClip(HDC hdc, const RECT &rect);
