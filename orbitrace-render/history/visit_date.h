// Visit dates as day numbers, so that visits sort, compare and space out on
// a time axis by plain integer arithmetic.
#pragma once

#include "orbitrace-render/history/read_settings.h"

#include <string>
#include <vector>

// Days since 1970-01-01 of an ISO date "YYYY-MM-DD" that is a real calendar
// date (years 0001 to 9999). Anything else, "2023-2-01", "2023-02-30" or a
// date with a time after it, is refused.
bool ParseIsoDate(const std::string &text, int *days);

// The date of "2026-12-07T10:30" or "7.12.2026 10:30:15": the text before
// a time of day, or the whole text when no time follows.
std::string DateWithoutTime(const std::string &text);

// What a date written with slashes tells of the order of day and month:
// a first number over 12 is a day, a second one over 12 is a day.
enum class SlashDate { kNone, kEitherOrder, kDayFirst, kMonthFirst };
SlashDate ReadSlashDate(const std::string &text);

// A visit date as an export writes it: YYYY-MM-DD, D.M.YYYY, or with
// slashes D/M/YYYY or M/D/YYYY in `order`, each with or without leading
// zeros. False with the reason (to follow the quoted date) when it is none
// of these, a two-digit year, not on the calendar, against the order, or
// written with slashes while the order is not known. With `timeDropped`,
// a time of day after the date ("2026-12-07T10:30", "7.12.2026 10:30:15")
// is dropped and said so there.
bool ParseVisitDate(const std::string &text, DateOrder order, int *days,
                    std::string *reason, bool *timeDropped = nullptr);

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
