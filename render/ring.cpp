#include "render/render.h"
#include "render/ring_layout.h"
#include "render/sketch_colours.h"
#include "render/win32_rect.h"
#include "resources/orbitrace_res.h"
#include "sketch/sketch_state.h"

HDC GetRingDC() {
  // A static control's DC is clipped to the control itself, whatever its
  // class style says, and four labels lie wholly outside it. So the ring is
  // drawn on the dialog, with the origin moved to the sketch area's corner
  // to keep the label coordinates in sketch-area terms.
  HWND sketch = GetDlgItem(ghwnd, IDC_SKETCH_AREA);
  POINT corner = {0, 0};
  MapWindowPoints(sketch, ghwnd, &corner, 1);
  HDC hdc = GetDC(ghwnd);
  SetViewportOrgEx(hdc, corner.x, corner.y, nullptr);
  return hdc;
}

void ReleaseRingDC(HDC hdc) { ReleaseDC(ghwnd, hdc); }

void DrawRing(HDC hdc) {
  RECT rect;
  TEXTMETRICA tMetric;
  RingLabel labels[kRingLabelCount];

  // Without the sketch area's rectangle there is no ring to place.
  if (!SketchAreaClient(&rect))
    return;
  SetBkMode(hdc, TRANSPARENT);
  GetTextMetricsA(hdc, &tMetric);
  LayoutRing(ToIntRect(rect), tMetric.tmHeight, tMetric.tmAveCharWidth, labels);
  for (const RingLabel &label : labels)
    TextOutA(hdc, label.xPos, label.yPos, label.text, label.count);
}

void EraseRing(HDC hdc) {
  SetTextColor(hdc, kGreyedLabelColour);
  DrawRing(hdc);
}
