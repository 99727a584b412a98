#include <string.h>

#include "render/disc_layout.h"
#include "render/render_win.h"
#include "render/rect_win.h"
#include "resources/orbitrace_res.h"
#include "sketch/sketch_state_win.h"

SketchValues SelectedValues(HWND dialog) {
  SketchValues values;
  // Unread texts stay empty rather than holding stack garbage.
  memset(&values, 0, sizeof values);
  GetWindowTextA(GetDlgItem(dialog, IDC_HORIZONTAL), values.horizontal,
                 sizeof values.horizontal);
  GetWindowTextA(GetDlgItem(dialog, IDC_VERTICAL), values.vertical,
                 sizeof values.vertical);
  GetWindowTextA(GetDlgItem(dialog, IDC_RIM), values.rim, sizeof values.rim);
  GetWindowTextA(GetDlgItem(dialog, IDC_LOCATION), values.position,
                 sizeof values.position);
  return values;
}

void DrawDiscAndCup(HDC hdc, const IntRect &client,
                    const SketchValues &values) {
  DrawBackroundEllipse(hdc, client);
  SelectEllipseClip(hdc, CupClipRect(client));
  DrawForegroundEllipse(hdc, client, values);
}

void Redraw() {
  // Without the sketch area (a stale ghwnd) there is nothing to draw on, and
  // GetDC(nullptr) would be the whole screen.
  HWND sketch = GetDlgItem(ghwnd, IDC_SKETCH_AREA);
  RECT rc;
  if (sketch == nullptr || !GetClientRect(sketch, &rc))
    return;
  SketchValues values = SelectedValues(ghwnd);
  HDC hdc = GetDC(sketch);
  DrawDiscAndCup(hdc, ToIntRect(rc), values);
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
