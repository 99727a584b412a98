#include "render/disc_layout.h"

#include <gtest/gtest.h>

#include "tests/unit/int_rect_printer.h"

namespace {

TEST(LayoutDisc, ClipIsTheClientAndDiscIsInsetBySix) {
  const IntRect client = {0, 0, 250, 240};
  const DiscLayout layout = LayoutDisc(client);
  const IntRect clip = {0, 0, 250, 240};
  const IntRect disc = {6, 6, 244, 234};
  EXPECT_EQ(clip, layout.clip);
  EXPECT_EQ(disc, layout.disc);
}

TEST(LayoutDisc, FollowsTheClientRectangle) {
  const IntRect client = {3, 4, 100, 51};
  const DiscLayout layout = LayoutDisc(client);
  const IntRect disc = {9, 10, 94, 45};
  EXPECT_EQ(client, layout.clip);
  EXPECT_EQ(disc, layout.disc);
}

TEST(CupClipRect, InsetByFive) {
  const IntRect client = {0, 0, 250, 240};
  const IntRect want = {5, 5, 245, 235};
  EXPECT_EQ(want, CupClipRect(client));
}

} // namespace
