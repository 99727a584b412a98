#include "sketch/value_selection.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sketch/full_width.h"
#include "sketch/value_lists.h"

namespace {

struct SelectionRow {
  const char *text;
  const char *ratio; // what it selects in the ratio list
  const char *rim;
  const char *position;
};

TEST(ValueSelection, NumbersByValueOtherTextsByPrefix) {
  const SelectionRow rows[] = {
      // Equal values, however written.
      {".5", ".50", ".50", "1"},
      {"0.5", ".50", ".50", "1"},
      {"0.50", ".50", ".50", "1"},
      {" .35", ".35", ".35", "1"},
      {".3\t", ".30", ".30", "1"},
      {"+.05", ".05", ".05", "1"},
      {"1.0", "1", "1", "1"},
      {"07", "1", "1", "7"},
      {"1", "1", "1", "1"},
      {"-.5", "1", "-.50", "1"},
      {"-0", "0", "0", "1"},
      {"0.500000", ".50", ".50", "1"},
      {"0000000000000000000012", "1", "1", "12"},
      {".9", ".90", ".90", "1"},
      {"10", "1", "1", "10"},
      // Not numbers: the prefix rule.
      {"-", "1", "-.05", "1"},
      {".", ".95", ".95", "1"},
      {"", "1", "1", "1"},
      {"x", "1", "1", "1"},
      {"0.333", "1", "1", "1"},
      // Digits past the hundredths count: not the item they begin with.
      {".301", "1", "1", "1"},
      {"0.359", "1", "1", "1"},
      {"1 0", "1", "1", "1"},
      {"1..", "1", "1", "1"},
      {"--.5", "1", "1", "1"},
      // Numbers no item equals: the prefix rule too.
      {".33", "1", "1", "1"},
      {"-1", "1", "1", "1"},
      {"13", "1", "1", "1"},
  };
  for (const SelectionRow &row : rows) {
    EXPECT_STREQ(row.ratio,
                 kRatioItems[SelectedItem(kRatioItems, kRatioCount, row.text)])
        << "\"" << row.text << "\" in the ratio list";
    EXPECT_STREQ(row.rim,
                 kRimItems[SelectedItem(kRimItems, kRimCount, row.text)])
        << "\"" << row.text << "\" in the rim list";
    EXPECT_STREQ(row.position,
                 kHourItems[SelectedItem(kHourItems, kHourCount, row.text)])
        << "\"" << row.text << "\" in the hour list";
  }
}

TEST(FoldFullWidthNumber, DigitsPointSignsAndNothingElse) {
  // "－．２０", "＋１", "−５" and what is not a number's.
  std::u16string text = u"\uFF0D\uFF0E\uFF12\uFF10 \uFF0B\uFF11\u2212"
                        u"\uFF15\uFF0F\uFF1A\uFF0C\u30DD\uFF21|";
  std::vector<uint16_t> units(text.begin(), text.end());
  FoldFullWidthNumber(units.data(), static_cast<int>(units.size()));
  EXPECT_EQ(u"-.20 +1-5\uFF0F\uFF1A\uFF0C\u30DD\uFF21|",
            std::u16string(units.begin(), units.end()));
}

TEST(ValueSelection, EveryItemSelectsItself) {
  const struct {
    const char *const *items;
    int count;
  } lists[] = {{kRatioItems, kRatioCount},
               {kRimItems, kRimCount},
               {kHourItems, kHourCount}};
  for (const auto &list : lists)
    for (int i = 0; i < list.count; ++i)
      EXPECT_EQ(i, SelectedItem(list.items, list.count, list.items[i]))
          << list.items[i];
}

} // namespace
