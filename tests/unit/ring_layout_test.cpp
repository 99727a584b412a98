#include "render/ring_layout.h"

#include <gtest/gtest.h>

#include <string.h>

#include <string>

namespace {

struct Expected {
  const char *text;
  int xPos, yPos;
};

const char *const kOrder[kRingLabelCount] = {"12", "1",  "2",  "3", "4", "5",
                                             "6",  "11", "10", "9", "8", "7"};

const RingLabel &Find(const RingLabel labels[kRingLabelCount],
                      const char *text) {
  for (int i = 0; i < kRingLabelCount; ++i)
    if (strcmp(labels[i].text, text) == 0)
      return labels[i];
  ADD_FAILURE() << "no label " << text;
  return labels[0];
}

void Layout(int w, int h, int lh, int aw, RingLabel labels[kRingLabelCount]) {
  const IntRect rect = {0, 0, w, h};
  memset(labels, 0x5A, sizeof(RingLabel) * kRingLabelCount);
  LayoutRing(rect, lh, aw, labels);
}

TEST(LayoutRing, LabelsInDrawingOrderWithTheirLengths) {
  RingLabel labels[kRingLabelCount];
  Layout(248, 244, 16, 7, labels);
  for (int i = 0; i < kRingLabelCount; ++i) {
    EXPECT_STREQ(kOrder[i], labels[i].text) << i;
    EXPECT_EQ(static_cast<int>(strlen(kOrder[i])), labels[i].count) << i;
    EXPECT_EQ('\0', labels[i].text[labels[i].count]) << i;
  }
}

TEST(LayoutRing, SketchAreaOf248By244) {
  const Expected want[kRingLabelCount] = {
      {"12", 117, -16}, {"1", 187, -2},  {"2", 237, 47},  {"3", 255, 114},
      {"4", 237, 180},  {"5", 187, 230}, {"6", 117, 248}, {"11", 50, -2},
      {"10", 0, 47},    {"9", -14, 114}, {"8", 4, 180},   {"7", 50, 230}};
  RingLabel labels[kRingLabelCount];
  Layout(248, 244, 16, 7, labels);
  for (const Expected &e : want) {
    const RingLabel &got = Find(labels, e.text);
    EXPECT_EQ(e.xPos, got.xPos) << e.text;
    EXPECT_EQ(e.yPos, got.yPos) << e.text;
  }
}

TEST(LayoutRing, NegativeValuesTruncateTowardZero) {
  RingLabel labels[kRingLabelCount];
  Layout(100, 100, 16, 7, labels);
  EXPECT_EQ(-8, Find(labels, "10").xPos); // -8.96
  EXPECT_EQ(12, Find(labels, "10").yPos);
  EXPECT_EQ(-4, Find(labels, "8").xPos);
  EXPECT_EQ(71, Find(labels, "8").yPos);
}

TEST(LayoutRing, OddMetricsTruncateTheirHalvesAndQuarter) {
  RingLabel labels[kRingLabelCount];
  Layout(248, 244, 13, 7, labels); // hh 6, lq 3, hw 3
  EXPECT_EQ(-13, Find(labels, "12").yPos);
  EXPECT_EQ(122 - 6, Find(labels, "3").yPos);
  EXPECT_EQ(122 - 6, Find(labels, "9").yPos);
  EXPECT_EQ(244 + 3, Find(labels, "6").yPos);
  EXPECT_EQ(187, Find(labels, "1").xPos);     // 66.99999999826 - 3 + 124
  EXPECT_EQ(180 + 2, Find(labels, "4").yPos); // 66.99999999826 - 6 + 122
  EXPECT_EQ(-14, Find(labels, "9").xPos);

  Layout(248, 244, 16, 9, labels); // hw 4
  EXPECT_EQ(186, Find(labels, "1").xPos);
  EXPECT_EQ(124 - 9, Find(labels, "12").xPos);
  EXPECT_EQ(248 + 9, Find(labels, "3").xPos);
  EXPECT_EQ(-18, Find(labels, "9").xPos);
}

TEST(LayoutRing, CardinalLabelsLieOutsideTheArea) {
  RingLabel labels[kRingLabelCount];
  Layout(300, 200, 20, 8, labels);
  EXPECT_EQ(-20, Find(labels, "12").yPos);
  EXPECT_EQ(-16, Find(labels, "9").xPos);
  EXPECT_EQ(308, Find(labels, "3").xPos);
  EXPECT_EQ(205, Find(labels, "6").yPos);
}

TEST(LayoutRing, CircleFollowsTheWidthOnly) {
  // A taller area moves the labels down by the change of its centre but
  // leaves their horizontal places and the circle's radius alone. In both
  // areas every label but "12" lies at y >= 0, so truncation toward zero
  // does not bend the shift.
  RingLabel tall[kRingLabelCount], taller[kRingLabelCount];
  Layout(248, 344, 16, 7, tall);
  Layout(248, 444, 16, 7, taller);
  for (int i = 0; i < kRingLabelCount; ++i) {
    EXPECT_EQ(tall[i].xPos, taller[i].xPos) << tall[i].text;
    int shift = 50;
    if (strcmp(tall[i].text, "12") == 0)
      shift = 0; // set against the top edge
    else if (strcmp(tall[i].text, "6") == 0)
      shift = 100; // set against the bottom edge
    EXPECT_EQ(tall[i].yPos + shift, taller[i].yPos) << tall[i].text;
  }
}

TEST(LayoutRing, SlantedLabelsAboveTheTopTruncateTowardZero) {
  // In a flat area the upper slanted labels start above y = 0: -2.047...
  // becomes -2, and 47.95... (50 higher in a taller area) becomes 47.
  RingLabel flat[kRingLabelCount], tall[kRingLabelCount];
  Layout(248, 244, 16, 7, flat);
  Layout(248, 344, 16, 7, tall);
  EXPECT_EQ(-2, Find(flat, "1").yPos);
  EXPECT_EQ(47, Find(tall, "1").yPos);
  EXPECT_EQ(-2, Find(flat, "11").yPos);
  EXPECT_EQ(47, Find(tall, "11").yPos);
}

} // namespace
