#include "orbitrace-render/history/visit_history.h"

#include <stdio.h>
#include <stdlib.h>

#include <algorithm>

void OrderVisits(PatientHistory *history,
                 std::vector<DuplicateVisit> *duplicates) {
  for (std::vector<Visit> &visits : history->eyes) {
    // By date, and on one date by line, so the file's first row is kept.
    std::sort(visits.begin(), visits.end(), [](const Visit &a, const Visit &b) {
      return a.date != b.date ? a.date < b.date : a.line < b.line;
    });
    size_t kept = 0;
    for (size_t i = 0; i < visits.size(); ++i) {
      if (kept > 0 && visits[kept - 1].date == visits[i].date) {
        duplicates->push_back(
            DuplicateVisit{visits[i].line, visits[kept - 1].line,
                           visits[i].values, visits[kept - 1].values});
        continue;
      }
      visits[kept++] = visits[i];
    }
    visits.resize(kept);
  }
}

std::vector<VisitColumn> AlignByDate(const PatientHistory &history) {
  std::vector<VisitColumn> columns;
  const std::vector<Visit> &r = history.eyes[kRightEye];
  const std::vector<Visit> &l = history.eyes[kLeftEye];
  size_t i = 0, j = 0;
  while (i < r.size() || j < l.size()) {
    VisitColumn c;
    if (j == l.size() || (i < r.size() && r[i].date <= l[j].date))
      c.date = r[i].date;
    else
      c.date = l[j].date;
    c.visit[kRightEye] =
        i < r.size() && r[i].date == c.date ? static_cast<int>(i++) : -1;
    c.visit[kLeftEye] =
        j < l.size() && l[j].date == c.date ? static_cast<int>(j++) : -1;
    columns.push_back(c);
  }
  return columns;
}

int RatioHundredths(const std::string &ratio) {
  // Items are "1", "0" or "." and two digits; reading the digits avoids the
  // doubles that ".35" and ".70" do not hit exactly.
  if (ratio.size() == 3 && ratio[0] == '.')
    return (ratio[1] - '0') * 10 + (ratio[2] - '0');
  return atoi(ratio.c_str()) * 100;
}

std::string FormatHundredths(int hundredths) {
  if (hundredths < 0)
    return "-" + FormatHundredths(-hundredths);
  if (hundredths % 100 == 0)
    return std::to_string(hundredths / 100);
  char text[24];
  if (hundredths < 100)
    snprintf(text, sizeof text, ".%02d", hundredths);
  else
    snprintf(text, sizeof text, "%d.%02d", hundredths / 100, hundredths % 100);
  return text;
}
