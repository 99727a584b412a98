// The cup and ring layouts on any rectangle, font metrics and value texts:
// no undefined behaviour, and the geometric relations that hold for every
// input.
//
// Input: six little-endian 32-bit integers (client left, top, right, bottom,
// font height, average character width), then up to four texts separated by
// newlines: horizontal ratio, vertical ratio, rim, hour. A missing text is
// passed as a null pointer.
#include "render/cup_layout.h"
#include "render/number_text.h"
#include "render/ring_layout.h"

#include <limits.h>
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

namespace {

void Check(bool ok, const char *what) {
  if (!ok) {
    fprintf(stderr, "layout_fuzz: %s\n", what);
    abort();
  }
}

int32_t Take32(const uint8_t *p) {
  const uint32_t u =
      static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
      (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
  int32_t v;
  memcpy(&v, &u, sizeof v);
  return v;
}

bool Saturated(const IntRect &r) {
  const int v[] = {r.left, r.top, r.right, r.bottom};
  for (int x : v)
    if (x == INT_MIN || x == INT_MAX)
      return true;
  return false;
}

long long Width(const IntRect &r) {
  return static_cast<long long>(r.right) - r.left;
}
long long Height(const IntRect &r) {
  return static_cast<long long>(r.bottom) - r.top;
}

// A text without hexadecimal, infinity or NaN is read as the C library's
// strtod reads it in the "C" locale, bit for bit.
void CheckNumber(const char *text) {
  if (text == NULL || strpbrk(text, "xXiInN") != NULL)
    return;
  const double ours = NumberFromText(text), libc = strtod(text, NULL);
  Check(memcmp(&ours, &libc, sizeof ours) == 0, "a number read unlike strtod");
}

void CheckCup(const IntRect &client, const char *x, const char *y,
              const char *rim, const char *position) {
  const IntRect cup = LayoutCup(client, x, y, rim, position);
  Check(cup == LayoutCup(client, x, y, rim, position), "cup not deterministic");
  CheckNumber(x);
  CheckNumber(y);
  CheckNumber(rim);

  // Without an hour the cup stays centred in the client area less its
  // 5-pixel margin: equal margins left and right, top and bottom.
  const IntRect centred = LayoutCup(client, x, y, rim, "0");
  if (!Saturated(centred)) {
    Check(static_cast<long long>(centred.left) - client.left ==
              static_cast<long long>(client.right) - centred.right,
          "centred cup not symmetric horizontally");
    Check(static_cast<long long>(centred.top) - client.top ==
              static_cast<long long>(client.bottom) - centred.bottom,
          "centred cup not symmetric vertically");
  }

  // Hours outside 1..12 do not move the cup.
  const long h = position ? strtol(position, NULL, 10) : 0;
  if (h < 1 || h > 12)
    Check(cup == centred, "a non-hour moved the cup");

  // Moving never changes the cup's size.
  if (!Saturated(cup) && !Saturated(centred)) {
    Check(Width(cup) == Width(centred), "moving changed the width");
    Check(Height(cup) == Height(centred), "moving changed the height");
  }
  // 12 and 6 move only vertically, 3 and 9 only horizontally.
  if (h == 12 || h == 6)
    Check(cup.left == centred.left && cup.right == centred.right,
          "hour 12 or 6 moved the cup sideways");
  if (h == 3 || h == 9)
    Check(cup.top == centred.top && cup.bottom == centred.bottom,
          "hour 3 or 9 moved the cup vertically");

  // A rim of exactly 1 leaves no room to move: every hour gives the centre
  // (unless the margin itself pushes the corner out of int range).
  if (rim && NumberFromText(rim) == 1.0 && client.left <= INT_MAX - 5 &&
      client.top <= INT_MAX - 5)
    Check(cup == centred, "a rim of 1 moved the cup");

  // A ratio of 1 spans the margin-less client width (when that fits an int).
  const long long ww = static_cast<long long>(client.right) - 5 -
                       (static_cast<long long>(client.left) + 5);
  if (x && NumberFromText(x) == 1.0 && ww > INT_MIN && ww < INT_MAX &&
      !Saturated(cup))
    Check(Width(cup) == ww, "a ratio of 1 is not the full width");
  // A ratio of 0 leaves at most the odd pixel.
  if ((!x || NumberFromText(x) == 0.0) && !Saturated(cup))
    Check(Width(cup) >= -1 && Width(cup) <= 1, "a ratio of 0 has width");
}

void CheckRing(const IntRect &rect, int lh, int aw) {
  static const char *const kOrder[kRingLabelCount] = {
      "12", "1", "2", "3", "4", "5", "6", "11", "10", "9", "8", "7"};
  RingLabel labels[kRingLabelCount];
  memset(labels, 0x5A, sizeof labels);
  LayoutRing(rect, lh, aw, labels);
  for (int i = 0; i < kRingLabelCount; ++i) {
    Check(memchr(labels[i].text, '\0', sizeof labels[i].text) != NULL,
          "label text not terminated");
    Check(strcmp(labels[i].text, kOrder[i]) == 0, "label out of order");
    Check(labels[i].count == static_cast<int>(strlen(kOrder[i])),
          "label count wrong");
  }
  // 12 and 6 share a column; mirrored hours share a row.
  Check(labels[0].xPos == labels[6].xPos, "12 and 6 not aligned");
  const int pairs[][2] = {{1, 7}, {2, 8}, {3, 9}, {4, 10}, {5, 11}};
  for (const auto &p : pairs)
    Check(labels[p[0]].yPos == labels[p[1]].yPos, "mirrored hours differ");

  // On the right half the rows go down from 1 to 5, whenever the circle's
  // radius (half the width plus 10) is not negative.
  const long long radius =
      (static_cast<long long>(rect.right) - rect.left) / 2 + 10;
  if (radius >= 0)
    for (int i = 1; i < 5; ++i)
      Check(labels[i].yPos <= labels[i + 1].yPos, "rows not in order");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < 24)
    return 0;
  IntRect rect;
  rect.left = Take32(data);
  rect.top = Take32(data + 4);
  rect.right = Take32(data + 8);
  rect.bottom = Take32(data + 12);
  const int lh = Take32(data + 16);
  const int aw = Take32(data + 20);

  // Split the rest at newlines; each text gets its own exact-size copy so a
  // read past its zero byte is caught.
  std::vector<std::string> texts;
  const char *p = reinterpret_cast<const char *>(data + 24);
  const char *end = reinterpret_cast<const char *>(data + size);
  while (p < end && texts.size() < 4) {
    const char *nl = static_cast<const char *>(memchr(p, '\n', end - p));
    const char *stop = nl ? nl : end;
    texts.push_back(std::string(p, stop));
    p = nl ? nl + 1 : end;
  }
  std::vector<std::vector<char>> owned;
  const char *args[4] = {NULL, NULL, NULL, NULL};
  for (size_t i = 0; i < texts.size(); ++i)
    owned.push_back(std::vector<char>(texts[i].c_str(),
                                      texts[i].c_str() + texts[i].size() + 1));
  for (size_t i = 0; i < owned.size(); ++i)
    args[i] = owned[i].data();

  CheckCup(rect, args[0], args[1], args[2], args[3]);
  CheckRing(rect, lh, aw);
  return 0;
}
