#include "render/ring_layout.h"

#include <limits.h>
#include <string.h>

#include "render/cup_layout.h"

// Each double operation rounds once, to double: in the 32-bit plug-in's x87
// code because the precision control is pinned to 53 bits at each way in
// from the host (host/x87_state.h).

static void SetLabel(RingLabel &label, const char *text, long long xPos,
                     long long yPos) {
  memset(label.text, 0, sizeof label.text);
  const size_t length = strlen(text);
  memcpy(label.text, text, length);
  label.count = static_cast<int>(length);
  label.xPos = ClampToInt(xPos);
  label.yPos = ClampToInt(yPos);
}

void LayoutRing(const IntRect &rect, int lh, int aw,
                RingLabel labels[kRingLabelCount]) {
  // 64-bit integers keep the sums defined for any rectangle and metrics;
  // the results saturate into int range.
  const long long left = rect.left, top = rect.top;
  const long long right = rect.right, bottom = rect.bottom;
  const long long Radius = (right - left) / 2;
  const long long hw = aw / 2, hh = lh / 2, lq = lh / 4;
  const long long cy = (bottom - top) / 2;

  // The slanted labels sit on a circle of radius d around (Radius, cy).
  // Each expression keeps its own order of operations: one rounding each.
  const double d = static_cast<double>(Radius + 10);
  const double dSin = d * kHourSine;
  const double dCos = d * kHourCosine;
  const double r = static_cast<double>(Radius);
  const double c = static_cast<double>(cy);

  SetLabel(labels[0], "12", Radius - aw, top - lh);
  SetLabel(labels[1], "1", TruncToInt(dSin - hw + r),
           TruncToInt(c - (dCos + hh)));
  SetLabel(labels[2], "2", TruncToInt(dCos - hw + r),
           TruncToInt(c - (dSin + hh)));
  SetLabel(labels[3], "3", right + aw, cy - hh);
  SetLabel(labels[4], "4", TruncToInt(dCos - hw + r),
           TruncToInt(dSin - hh + c));
  SetLabel(labels[5], "5", TruncToInt(dSin - hw + r),
           TruncToInt(dCos - hh + c));
  SetLabel(labels[6], "6", Radius - aw, bottom + lq);
  SetLabel(labels[7], "11", TruncToInt(r - (dSin + aw)),
           TruncToInt(c - (dCos + hh)));
  SetLabel(labels[8], "10", TruncToInt(r - (dCos + aw)),
           TruncToInt(c - (dSin + hh)));
  SetLabel(labels[9], "9", left - 2 * static_cast<long long>(aw), cy - hh);
  SetLabel(labels[10], "8", TruncToInt(r - (dCos + hw)),
           TruncToInt(dSin - hh + c));
  SetLabel(labels[11], "7", TruncToInt(r - (dSin + aw)),
           TruncToInt(dCos - hh + c));
}
