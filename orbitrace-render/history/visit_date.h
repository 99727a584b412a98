// Visit dates as day numbers, so that visits sort, compare and space out on
// a time axis by plain integer arithmetic.
#pragma once

#include <string>
#include <vector>

// Days since 1970-01-01 of an ISO date "YYYY-MM-DD" that is a real calendar
// date (years 0001 to 9999). Anything else, "2023-2-01", "2023-02-30" or a
// date with a time after it, is refused.
bool ParseIsoDate(const std::string &text, int *days);

// The day as "YYYY-MM-DD".
std::string FormatIsoDate(int days);

// Labelled ticks for a time axis from `first` to `last`: the starts of
// years when the span is two years or more, else the starts of months,
// every n-th one so that there are at most `maxTicks`.
struct DateTick {
  int days;
  std::string label; // "2021" or "2021-03"
};
std::vector<DateTick> DateTicks(int first, int last, int maxTicks);
