// The cup's ellipse rectangle from the sketch area and the four value texts.
#pragma once

#include "render/int_rect.h"

// One clock hour: 3.1415926535 / 6 as a double (pi cut after ten decimals).
extern const double kHourAngle;
// Applied to moves along the axes (hours 12, 3, 6 and 9).
extern const double kAxisFactor;
// sin(kHourAngle) and cos(kHourAngle), the values the standard library gives.
extern const double kHourSine;
extern const double kHourCosine;

// value truncated toward zero into int range: NaN gives 0, anything beyond
// the range gives INT_MIN or INT_MAX.
int TruncToInt(double value);

// trunc(ratio * n) of the exact product, saturated like TruncToInt.
int TruncExactProduct(double ratio, long long n);

// XText, YText: ratios; Offset: rim; Position: clock hour. Texts are read as
// atof and atoi read them in the "C" locale, whatever the process's locale.
IntRect LayoutCup(const IntRect &client, const char *XText, const char *YText,
                  const char *Offset, const char *Position);
