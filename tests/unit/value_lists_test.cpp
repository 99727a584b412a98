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

} // namespace
