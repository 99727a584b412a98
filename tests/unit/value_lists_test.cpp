#include "sketch/value_lists.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> Items(const char *const *items, int count) {
  return std::vector<std::string>(items, items + count);
}

TEST(ValueLists, RatioListFromOneDownToZero) {
  const std::vector<std::string> want = {
      "1",   ".95", ".90", ".85", ".80", ".75", ".70",
      ".65", ".60", ".55", ".50", ".45", ".40", ".35",
      ".30", ".25", ".20", ".15", ".10", ".05", "0"};
  EXPECT_EQ(21, kRatioCount);
  EXPECT_EQ(want, Items(kRatioItems, kRatioCount));
}

TEST(ValueLists, RimListIsRatioListThenNegatives) {
  EXPECT_EQ(40, kRimCount);
  const std::vector<std::string> rim = Items(kRimItems, kRimCount);
  EXPECT_EQ(Items(kRatioItems, kRatioCount),
            std::vector<std::string>(rim.begin(), rim.begin() + kRatioCount));
  const std::vector<std::string> negatives = {
      "-.05", "-.10", "-.15", "-.20", "-.25", "-.30", "-.35",
      "-.40", "-.45", "-.50", "-.55", "-.60", "-.65", "-.70",
      "-.75", "-.80", "-.85", "-.90", "-.95"};
  EXPECT_EQ(negatives,
            std::vector<std::string>(rim.begin() + kRatioCount, rim.end()));
  EXPECT_EQ("-.95", rim.back());
}

TEST(ValueLists, HourListInNumericOrder) {
  const std::vector<std::string> want = {"1", "2", "3", "4",  "5",  "6",
                                         "7", "8", "9", "10", "11", "12"};
  EXPECT_EQ(12, kHourCount);
  EXPECT_EQ(want, Items(kHourItems, kHourCount));
}

TEST(ValueLists, ItemsStandForOneMinusAStepOfFiveHundredths) {
  for (int i = 0; i < kRimCount; ++i)
    EXPECT_NEAR(1.0 - 0.05 * i, atof(kRimItems[i]), 1e-12) << kRimItems[i];
}

TEST(FindItemPrefix, ExactItemsFindThemselves) {
  for (int i = 0; i < kRatioCount; ++i)
    EXPECT_EQ(i, FindItemPrefix(kRatioItems, kRatioCount, kRatioItems[i]));
  for (int i = 0; i < kRimCount; ++i)
    EXPECT_EQ(i, FindItemPrefix(kRimItems, kRimCount, kRimItems[i]));
  for (int i = 0; i < kHourCount; ++i)
    EXPECT_EQ(i, FindItemPrefix(kHourItems, kHourCount, kHourItems[i]));
}

TEST(FindItemPrefix, ShorterTextFindsFirstItemInListOrder) {
  EXPECT_EQ(
      ".55",
      std::string(kRatioItems[FindItemPrefix(kRatioItems, kRatioCount, ".5")]));
  EXPECT_EQ(
      ".95",
      std::string(kRatioItems[FindItemPrefix(kRatioItems, kRatioCount, ".9")]));
  EXPECT_EQ(
      "-.50",
      std::string(kRimItems[FindItemPrefix(kRimItems, kRimCount, "-.5")]));
  EXPECT_EQ("-.05",
            std::string(kRimItems[FindItemPrefix(kRimItems, kRimCount, "-")]));
  EXPECT_EQ(0, FindItemPrefix(kHourItems, kHourCount, "1"));
}

TEST(FindItemPrefix, TextThatBeginsNoItemIsNotFound) {
  EXPECT_EQ(-1, FindItemPrefix(kRatioItems, kRatioCount, "0.5"));
  EXPECT_EQ(-1, FindItemPrefix(kRatioItems, kRatioCount, "1.0"));
  EXPECT_EQ(-1, FindItemPrefix(kHourItems, kHourCount, "07"));
  EXPECT_EQ(-1, FindItemPrefix(kRatioItems, kRatioCount, " .35"));
  EXPECT_EQ(-1, FindItemPrefix(kRatioItems, kRatioCount, ".355"));
  EXPECT_EQ(-1, FindItemPrefix(kRatioItems, kRatioCount, "-.05"));
  EXPECT_EQ(-1, FindItemPrefix(kHourItems, kHourCount, "13"));
}

TEST(FindItemPrefix, EmptyTextFindsTheFirstItem) {
  EXPECT_EQ(0, FindItemPrefix(kRatioItems, kRatioCount, ""));
  EXPECT_EQ(0, FindItemPrefix(kHourItems, kHourCount, ""));
  EXPECT_EQ(-1, FindItemPrefix(kHourItems, 0, ""));
}

TEST(FindItemPrefix, ComparesAsciiWithoutCase) {
  const char *const items[] = {"Alpha", "beta", "BETAMAX", "gamma"};
  EXPECT_EQ(1, FindItemPrefix(items, 4, "BE"));
  EXPECT_EQ(1, FindItemPrefix(items, 4, "Beta"));
  EXPECT_EQ(2, FindItemPrefix(items, 4, "betam"));
  EXPECT_EQ(0, FindItemPrefix(items, 4, "aLPHA"));
  EXPECT_EQ(-1, FindItemPrefix(items, 4, "alphas"));
  EXPECT_EQ(-1, FindItemPrefix(items, 4, "delta"));
  // Only the items within the count are searched.
  EXPECT_EQ(-1, FindItemPrefix(items, 3, "g"));
}

TEST(SelectionIndex, FoundItemOrElseTheFirst) {
  EXPECT_EQ(13, SelectionIndex(kRatioItems, kRatioCount, ".35"));
  EXPECT_EQ(12, SelectionIndex(kRatioItems, kRatioCount, ".40"));
  EXPECT_EQ(2, SelectionIndex(kHourItems, kHourCount, "3"));
  EXPECT_EQ(22, SelectionIndex(kRimItems, kRimCount, "-.10"));
  EXPECT_EQ(20, SelectionIndex(kRatioItems, kRatioCount, "0"));
  EXPECT_EQ(11, SelectionIndex(kHourItems, kHourCount, "12"));
  EXPECT_EQ(30, SelectionIndex(kRimItems, kRimCount, "-.50"));
  EXPECT_EQ(9, SelectionIndex(kRatioItems, kRatioCount, ".5"));
  EXPECT_EQ(0, SelectionIndex(kRatioItems, kRatioCount, "0.5"));
  EXPECT_EQ(0, SelectionIndex(kRimItems, kRimCount, "1.0"));
  EXPECT_EQ(0, SelectionIndex(kHourItems, kHourCount, "07"));
  EXPECT_EQ(0, SelectionIndex(kRatioItems, kRatioCount, " .35"));
  EXPECT_EQ(0, SelectionIndex(kRimItems, kRimCount, ""));
}

} // namespace
