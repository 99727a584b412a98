#include "render/cup_layout.h"

#include "render/number_text.h"

#include <limits.h>
#include <stdint.h>
#include <string.h>

// Every double operation below must round once, to double. In the 32-bit
// plug-in's x87 code that holds while the precision control is 53 bits,
// which the plug-in pins at each way in from the host (host/x87_state.h).

const double kHourAngle = 3.1415926535 / 6;
const double kAxisFactor = 0.9999999999;
// Written out rather than computed at load time, so that the values do not
// depend on the floating-point state the host process leaves behind. A unit
// test checks them against std::sin and std::cos.
const double kHourSine = 0.4999999999870395;
const double kHourCosine = 0.8660254037919214;

int TruncToInt(double value) {
  if (value != value)
    return 0;
  if (value >= 2147483648.0)
    return INT_MAX;
  if (value <= -2147483649.0)
    return INT_MIN;
  return static_cast<int>(value); // in range: C truncates toward zero
}

namespace {

// An unsigned 128-bit number as two halves; enough for a 53-bit significand
// times a 64-bit integer.
struct U128 {
  uint64_t hi;
  uint64_t lo;
};

U128 Multiply(uint64_t a, uint64_t b) {
  const uint64_t a0 = a & 0xFFFFFFFFu, a1 = a >> 32;
  const uint64_t b0 = b & 0xFFFFFFFFu, b1 = b >> 32;
  const uint64_t p00 = a0 * b0, p01 = a0 * b1, p10 = a1 * b0, p11 = a1 * b1;
  const uint64_t middle = (p00 >> 32) + (p01 & 0xFFFFFFFFu) +
                          (p10 & 0xFFFFFFFFu); // cannot overflow
  U128 r;
  r.lo = (middle << 32) | (p00 & 0xFFFFFFFFu);
  r.hi = p11 + (p01 >> 32) + (p10 >> 32) + (middle >> 32);
  return r;
}

U128 ShiftRight(U128 v, int k) {
  if (k >= 128) {
    v.hi = v.lo = 0;
  } else if (k >= 64) {
    v.lo = v.hi >> (k - 64);
    v.hi = 0;
  } else if (k > 0) {
    v.lo = (v.lo >> k) | (v.hi << (64 - k));
    v.hi >>= k;
  }
  return v;
}

} // namespace

// The product is formed exactly in integers from the double's bits: for
// |n| < 2048 it fits 64 bits, so this equals the product in the extended
// format with its 64-bit significand, truncated. Done without floating-point
// arithmetic, it does not depend on long double or on the x87 precision
// control the host has set.
int TruncExactProduct(double ratio, long long n) {
  uint64_t bits;
  memcpy(&bits, &ratio, sizeof bits);
  const bool negativeRatio = (bits >> 63) != 0;
  const int biasedExponent = static_cast<int>((bits >> 52) & 0x7FF);
  uint64_t significand = bits & ((static_cast<uint64_t>(1) << 52) - 1);

  if (biasedExponent == 0x7FF && significand != 0)
    return 0; // NaN
  if (n == 0 || (biasedExponent == 0 && significand == 0))
    return 0; // also infinity times zero, which has no value
  const bool negative = negativeRatio != (n < 0);
  if (biasedExponent == 0x7FF)
    return negative ? INT_MIN : INT_MAX;

  // ratio = significand * 2^exponent with an integer significand.
  int exponent;
  if (biasedExponent == 0) {
    exponent = -1074;
  } else {
    significand |= static_cast<uint64_t>(1) << 52;
    exponent = biasedExponent - 1075;
  }
  const uint64_t magnitudeN =
      n < 0 ? 0 - static_cast<uint64_t>(n) : static_cast<uint64_t>(n);

  // Any exponent of 0 or more makes the magnitude at least 2^52.
  if (exponent >= 0)
    return negative ? INT_MIN : INT_MAX;
  const U128 truncated =
      ShiftRight(Multiply(significand, magnitudeN), -exponent);

  const uint64_t limit = negative ? static_cast<uint64_t>(INT_MAX) + 1
                                  : static_cast<uint64_t>(INT_MAX);
  if (truncated.hi != 0 || truncated.lo >= limit)
    return negative ? INT_MIN : INT_MAX;
  const long long magnitude = static_cast<long long>(truncated.lo);
  return static_cast<int>(negative ? -magnitude : magnitude);
}

static double ParseNumber(const char *text) { return NumberFromText(text); }

// As atoi reads it in the "C" locale (white space, a sign, digits), without
// atoi's undefined overflow: anything beyond 12 digits stays beyond any
// hour. Read here, since the plug-in brings no C runtime.
static long long ParseHour(const char *text) {
  if (text == NULL)
    return 0;
  while (*text == ' ' || (*text >= '\t' && *text <= '\r'))
    ++text;
  const bool negative = *text == '-';
  if (*text == '+' || *text == '-')
    ++text;
  long long value = 0;
  for (; *text >= '0' && *text <= '9'; ++text)
    if (value < 1000000000000LL)
      value = value * 10 + (*text - '0');
  return negative ? -value : value;
}

static long long Half(long long n) { return n / 2; }

namespace {

// Which way the cup's box moves along one axis: up or left is back.
enum Direction { kStay, kUp, kDown, kBack = kUp, kOn = kDown };
// Which of the hour's factors scales the move.
enum FactorKind { kAxis, kSine, kCosine };

struct HourMove {
  Direction top;
  FactorKind topFactor;
  Direction left;
  FactorKind leftFactor;
};

// Hours 1 to 12 round the clock, 12 at the top; index 0 is no hour.
const HourMove kHourMoves[13] = {
    {kStay, kAxis, kStay, kAxis},   // no hour, no move
    {kUp, kCosine, kOn, kSine},     // 1
    {kUp, kSine, kOn, kCosine},     // 2
    {kStay, kAxis, kOn, kAxis},     // 3
    {kDown, kSine, kOn, kCosine},   // 4
    {kDown, kCosine, kOn, kSine},   // 5
    {kDown, kAxis, kStay, kAxis},   // 6
    {kDown, kCosine, kBack, kSine}, // 7
    {kDown, kSine, kBack, kCosine}, // 8
    {kStay, kAxis, kBack, kAxis},   // 9
    {kUp, kSine, kBack, kCosine},   // 10
    {kUp, kCosine, kBack, kSine},   // 11
    {kUp, kAxis, kStay, kAxis},     // 12
};

HourMove MoveForHour(long long position) {
  return kHourMoves[position >= 1 && position <= 12 ? position : 0];
}

// Chosen at run time from the three constants rather than stored in the
// table, since a table of doubles would be filled by a constructor the
// plug-in never runs.
double Factor(FactorKind kind) {
  return kind == kSine     ? kHourSine
         : kind == kCosine ? kHourCosine
                           : kAxisFactor;
}

} // namespace

IntRect LayoutCup(const IntRect &client, const char *XText, const char *YText,
                  const char *Offset, const char *Position) {
  // Integers are carried in 64 bits and saturated into int range only at
  // the end, so absurd inputs give defined, clamped results.
  long long left = static_cast<long long>(client.left) + 5;
  long long top = static_cast<long long>(client.top) + 5;
  long long right = static_cast<long long>(client.right) - 5;
  long long bottom = static_cast<long long>(client.bottom) - 5;
  const long long wwidth = right - left;
  const long long wheight = bottom - top;

  const long long swidth = TruncExactProduct(ParseNumber(XText), wwidth);
  const long long sheight = TruncExactProduct(ParseNumber(YText), wheight);

  const double dx = static_cast<double>(Half(wwidth) - Half(swidth));
  const double dy = static_cast<double>(Half(wheight) - Half(sheight));

  const double rim = ParseNumber(Offset);
  const double vx = dx - rim * dx;
  const double vy = dy - rim * dy;

  // Each new top or left: the product first, then the sum with the integer,
  // then truncation toward zero.
  const HourMove move = MoveForHour(ParseHour(Position));
  if (move.top != kStay) {
    const double step = vy * Factor(move.topFactor);
    const double t = static_cast<double>(top);
    top = TruncToInt(move.top == kUp ? t - step : t + step);
    bottom = top + wheight;
  }
  if (move.left != kStay) {
    const double step = vx * Factor(move.leftFactor);
    const double l = static_cast<double>(left);
    left = TruncToInt(move.left == kBack ? l - step : l + step);
    right = left + wwidth;
  }

  IntRect cup;
  cup.left = ClampToInt(left + Half(wwidth) - Half(swidth));
  cup.top = ClampToInt(top + Half(wheight) - Half(sheight));
  cup.right = ClampToInt(right - Half(wwidth) + Half(swidth));
  cup.bottom = ClampToInt(bottom - Half(wheight) + Half(sheight));
  return cup;
}
