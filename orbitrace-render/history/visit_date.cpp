#include "orbitrace-render/history/visit_date.h"

#include <stdio.h>

namespace {

// Proleptic Gregorian calendar to and from a day count (the well-known
// era-based conversion), exact for every year the parser accepts.
int DaysFromCivil(int y, int m, int d) {
  y -= m <= 2;
  const int era = (y >= 0 ? y : y - 399) / 400;
  const int yoe = y - era * 400;
  const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(int z, int *y, int *m, int *d) {
  z += 719468;
  const int era = (z >= 0 ? z : z - 146096) / 146097;
  const int doe = z - era * 146097;
  const int yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int mp = (5 * doy + 2) / 153;
  *d = doy - (153 * mp + 2) / 5 + 1;
  *m = mp + (mp < 10 ? 3 : -9);
  *y = yoe + era * 400 + (*m <= 2);
}

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

bool Digits(const std::string &text, size_t at, size_t count, int *value) {
  *value = 0;
  for (size_t i = at; i < at + count; ++i) {
    if (text[i] < '0' || text[i] > '9')
      return false;
    *value = *value * 10 + (text[i] - '0');
  }
  return true;
}

// A date's three numbers and what stands between them.
struct DateParts {
  char separator;
  int value[3];
  size_t digits[3];
};

bool SplitDate(const std::string &text, DateParts *parts) {
  const std::string::size_type first = text.find_first_of("-./");
  if (first == std::string::npos)
    return false;
  parts->separator = text[first];
  size_t at = 0;
  for (int i = 0; i < 3; ++i) {
    size_t end = i < 2 ? text.find(parts->separator, at) : text.size();
    if (end == std::string::npos || end == at || end - at > 4 ||
        !Digits(text, at, end - at, &parts->value[i]))
      return false;
    parts->digits[i] = end - at;
    at = end + 1;
  }
  return true;
}

bool ValidDate(int y, int m, int d) {
  return y >= 1 && m >= 1 && m <= 12 && d >= 1 && d <= DaysInMonth(y, m);
}

// A time of day as exports write it after a date: H:MM, with seconds and
// their fraction, AM or PM, and a zone (Z or +HH:MM) as they come.
bool IsTimeOfDay(const std::string &t) {
  size_t at = 0, n = t.size();
  auto digits = [&](size_t most) {
    size_t count = 0;
    while (at < n && t[at] >= '0' && t[at] <= '9' && count < most)
      ++at, ++count;
    return count;
  };
  if (digits(2) == 0 || at >= n || t[at++] != ':' || digits(2) != 2)
    return false;
  if (at < n && t[at] == ':') {
    ++at;
    if (digits(2) != 2)
      return false;
    if (at < n && (t[at] == '.' || t[at] == ',')) {
      ++at;
      if (digits(9) == 0)
        return false;
    }
  }
  if (at < n && t[at] == ' ')
    ++at;
  const std::string rest = t.substr(at);
  if (rest.empty() || rest == "Z" || rest == "AM" || rest == "PM" ||
      rest == "am" || rest == "pm")
    return true;
  return (rest[0] == '+' || rest[0] == '-') &&
         (rest.size() == 3 || rest.size() == 5 || rest.size() == 6) &&
         rest.find_first_not_of("0123456789:", 1) == std::string::npos;
}

} // namespace

std::string DateWithoutTime(const std::string &text) {
  const std::string::size_type cut = text.find_first_of(" T");
  if (cut == std::string::npos)
    return text;
  const std::string::size_type time = text.find_first_not_of(' ', cut + 1);
  if (time == std::string::npos || !IsTimeOfDay(text.substr(time)))
    return text;
  return text.substr(0, cut);
}

SlashDate ReadSlashDate(const std::string &text) {
  DateParts p;
  if (!SplitDate(text, &p) || p.separator != '/' || p.digits[0] > 2 ||
      p.digits[1] > 2 || p.digits[2] != 4)
    return SlashDate::kNone;
  const bool dayFirst = ValidDate(p.value[2], p.value[1], p.value[0]);
  const bool monthFirst = ValidDate(p.value[2], p.value[0], p.value[1]);
  if (dayFirst && monthFirst)
    return SlashDate::kEitherOrder;
  return dayFirst     ? SlashDate::kDayFirst
         : monthFirst ? SlashDate::kMonthFirst
                      : SlashDate::kNone;
}

bool ParseVisitDate(const std::string &whole, DateOrder order, int *days,
                    std::string *reason, bool *timeDropped) {
  const std::string text = timeDropped ? DateWithoutTime(whole) : whole;
  if (timeDropped)
    *timeDropped = text.size() != whole.size();
  DateParts p;
  const bool iso = SplitDate(text, &p) && p.separator == '-' &&
                   p.digits[0] == 4 && p.digits[1] <= 2 && p.digits[2] <= 2;
  const bool dayMonth = !iso && SplitDate(text, &p) && p.separator != '-' &&
                        p.digits[0] <= 2 && p.digits[1] <= 2;
  if (dayMonth && p.digits[2] == 2) {
    *reason = "has a two-digit year, which could be of any century: export "
              "dates with four-digit years";
    return false;
  }
  if (!iso && !(dayMonth && p.digits[2] == 4)) {
    *reason = "is not a date written YYYY-MM-DD, D.M.YYYY, D/M/YYYY or "
              "M/D/YYYY";
    return false;
  }
  int y = p.value[0], m = p.value[1], d = p.value[2];
  if (dayMonth) {
    const bool monthFirst =
        p.separator == '/' && order == DateOrder::kMonthFirst;
    if (p.separator == '/' && order == DateOrder::kFromFile) {
      *reason = "could be day or month first; say --date-order dmy or mdy";
      return false;
    }
    y = p.value[2];
    m = p.value[monthFirst ? 0 : 1];
    d = p.value[monthFirst ? 1 : 0];
    if (p.separator == '/' && !ValidDate(y, m, d) &&
        ValidDate(y, p.value[monthFirst ? 1 : 0],
                  p.value[monthFirst ? 0 : 1])) {
      *reason = std::string("does not fit --date-order ") +
                (monthFirst ? "mdy (month first)" : "dmy (day first)");
      return false;
    }
  }
  if (!ValidDate(y, m, d)) {
    *reason = "is not a calendar date";
    return false;
  }
  *days = DaysFromCivil(y, m, d);
  return true;
}

bool ParseIsoDate(const std::string &text, int *days) {
  int y, m, d;
  if (text.size() != 10 || text[4] != '-' || text[7] != '-' ||
      !Digits(text, 0, 4, &y) || !Digits(text, 5, 2, &m) ||
      !Digits(text, 8, 2, &d))
    return false;
  if (y < 1 || m < 1 || m > 12 || d < 1 || d > DaysInMonth(y, m))
    return false;
  *days = DaysFromCivil(y, m, d);
  return true;
}

std::string FormatIsoDate(int days) {
  int y, m, d;
  CivilFromDays(days, &y, &m, &d);
  char text[16];
  snprintf(text, sizeof text, "%04d-%02d-%02d", y, m, d);
  return text;
}

std::vector<DateTick> DateTicks(int first, int last, int maxTicks) {
  std::vector<DateTick> ticks;
  if (last < first || maxTicks < 1)
    return ticks;
  int y0, m0, d0, y1, m1, d1;
  CivilFromDays(first, &y0, &m0, &d0);
  CivilFromDays(last, &y1, &m1, &d1);
  const bool years = last - first >= 730;
  // Month numbers counted from year 0, so a step runs across year ends.
  const int from =
      years ? y0 * 12 + 12 * (m0 > 1 || d0 > 1) : y0 * 12 + m0 - 1 + (d0 > 1);
  const int to = y1 * 12 + m1 - 1;
  const int unit = years ? 12 : 1;
  const int count = from > to ? 0 : (to - from) / unit + 1;
  const int step = unit * ((count + maxTicks - 1) / maxTicks);
  for (int n = from; n <= to && step > 0; n += step) {
    const int y = n / 12, m = n % 12 + 1;
    char label[16];
    if (years)
      snprintf(label, sizeof label, "%04d", y);
    else
      snprintf(label, sizeof label, "%04d-%02d", y, m);
    ticks.push_back(DateTick{DaysFromCivil(y, m, 1), label});
  }
  return ticks;
}
