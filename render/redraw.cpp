#include "render/disc_layout.h"
#include "render/render.h"
#include "render/win32_rect.h"
#include "resources/orbitrace_res.h"
#include "sketch/sketch_state.h"

bool SketchAreaClient(RECT *rc) {
  return GetClientRect(GetDlgItem(ghwnd, IDC_SKETCH_AREA), rc) != FALSE;
}

void Redraw() {
  // Without the sketch area (a stale ghwnd) there is nothing to draw on, and
  // GetDC(nullptr) would be the whole screen.
  HWND sketch = GetDlgItem(ghwnd, IDC_SKETCH_AREA);
  RECT rc;
  if (sketch == nullptr || !GetClientRect(sketch, &rc))
    return;
  HDC hdc = GetDC(sketch);
  DrawBackroundEllipse(hdc);

  SelectEllipseClip(hdc, CupClipRect(ToIntRect(rc)));
  DrawForegroundEllipse(hdc);
  ReleaseDC(sketch, hdc);
}

void DrawBitmap(HDC hdc, int xStart, int yStart, HBITMAP hBitmap) {
  BITMAP bm;
  HDC hMemDC = CreateCompatibleDC(hdc);
  HGDIOBJ hOldBitmap = SelectObject(hMemDC, hBitmap);
  GetObjectA(hBitmap, sizeof bm, &bm);
  BitBlt(hdc, xStart, yStart, bm.bmWidth, bm.bmHeight, hMemDC, 0, 0, SRCCOPY);
  // The caller owns the bitmap: take it out before the DC goes.
  SelectObject(hMemDC, hOldBitmap);
  DeleteDC(hMemDC);
}
