#include "render/render_win.h"
#include "render/ring_layout.h"
#include "render/sketch_colours.h"

void DrawRing(HDC hdc, const IntRect &client) {
  TEXTMETRICA tMetric;
  RingLabel labels[kRingLabelCount];

  SetBkMode(hdc, TRANSPARENT);
  GetTextMetricsA(hdc, &tMetric);
  LayoutRing(client, tMetric.tmHeight, tMetric.tmAveCharWidth, labels);
  for (const RingLabel &label : labels)
    TextOutA(hdc, label.xPos, label.yPos, label.text, label.count);
}

void EraseRing(HDC hdc, const IntRect &client) {
  SetTextColor(hdc, kGreyedLabelColour);
  DrawRing(hdc, client);
}
