#include "orbitrace-render/history/flag_rules.h"

#include "orbitrace-render/history/visit_date.h"

#include <stdlib.h>

namespace {

const char *const kEyeName[2] = {"right", "left"};

int Vertical(const Visit &visit) {
  return RatioHundredths(visit.values.vertical);
}

std::string Capitalised(std::string text) {
  if (!text.empty() && text[0] >= 'a' && text[0] <= 'z')
    text[0] = static_cast<char>(text[0] - 'a' + 'A');
  return text;
}

} // namespace

bool ParseThreshold(const std::string &text, int *hundredths,
                    std::string *error) {
  if (text == "off") {
    *hundredths = kFlagOff;
    return true;
  }
  // Digits, one optional point and at most two decimals: no doubles, so
  // ".20" is exactly the 20 the rules compare with.
  int whole = 0, fraction = 0, decimals = 0;
  bool point = false, digits = false, ok = !text.empty();
  for (char c : text) {
    if (c == '.' && !point) {
      point = true;
    } else if (c >= '0' && c <= '9' && !point && whole < 10) {
      whole = whole * 10 + (c - '0');
      digits = true;
    } else if (c >= '0' && c <= '9' && point && decimals < 2) {
      fraction = fraction * 10 + (c - '0');
      ++decimals;
      digits = true;
    } else {
      ok = false;
    }
  }
  const int value = whole * 100 + (decimals == 1 ? fraction * 10 : fraction);
  if (!ok || !digits || value < 1 || value > 100) {
    *error = "threshold \"" + text +
             "\" is not a ratio from .01 to 1 (two decimals at most) or off";
    return false;
  }
  *hundredths = value;
  return true;
}

std::vector<Flag> FindFlags(const PatientHistory &history,
                            const FlagThresholds &thresholds) {
  std::vector<Flag> flags;
  if (thresholds.rise != kFlagOff) {
    for (int eye = 0; eye < 2; ++eye) {
      const std::vector<Visit> &visits = history.eyes[eye];
      if (visits.empty())
        continue;
      Flag f{kFlagRise, eye, visits[0].date, Vertical(visits[0]), {}};
      for (size_t i = 1; i < visits.size(); ++i) {
        const int v = Vertical(visits[i]);
        if (v - f.baseVertical >= thresholds.rise) {
          FlagPoint p{visits[i].date, {-1, -1}};
          p.vertical[eye] = v;
          f.points.push_back(p);
        }
      }
      if (!f.points.empty())
        flags.push_back(f);
    }
  }
  if (thresholds.difference != kFlagOff) {
    Flag f{kFlagDifference, -1, 0, 0, {}};
    for (const VisitColumn &c : AlignByDate(history)) {
      if (c.visit[kRightEye] < 0 || c.visit[kLeftEye] < 0)
        continue;
      FlagPoint p{c.date,
                  {Vertical(history.eyes[kRightEye][c.visit[kRightEye]]),
                   Vertical(history.eyes[kLeftEye][c.visit[kLeftEye]])}};
      if (abs(p.vertical[0] - p.vertical[1]) >= thresholds.difference)
        f.points.push_back(p);
    }
    if (!f.points.empty())
      flags.push_back(f);
  }
  if (thresholds.high != kFlagOff) {
    for (int eye = 0; eye < 2; ++eye) {
      Flag f{kFlagHigh, eye, 0, 0, {}};
      for (const Visit &visit : history.eyes[eye]) {
        if (Vertical(visit) >= thresholds.high) {
          FlagPoint p{visit.date, {-1, -1}};
          p.vertical[eye] = Vertical(visit);
          f.points.push_back(p);
        }
      }
      if (!f.points.empty())
        flags.push_back(f);
    }
  }
  return flags;
}

std::string FlagSentence(const Flag &flag, const FlagThresholds &thresholds) {
  std::string s, points;
  for (size_t i = 0; i < flag.points.size(); ++i) {
    const FlagPoint &p = flag.points[i];
    if (i > 0)
      points += ", ";
    if (flag.kind == kFlagDifference)
      points += FormatIsoDate(p.date) + " (right " +
                FormatHundredths(p.vertical[0]) + ", left " +
                FormatHundredths(p.vertical[1]) + ")";
    else
      points += FormatHundredths(p.vertical[flag.eye]) + " on " +
                FormatIsoDate(p.date);
  }
  switch (flag.kind) {
  case kFlagRise:
    s = Capitalised(kEyeName[flag.eye]) +
        " eye: the vertical cup-to-disc ratio rose by " +
        FormatHundredths(thresholds.rise) + " or more since the first visit (" +
        FormatHundredths(flag.baseVertical) + " on " +
        FormatIsoDate(flag.baseDate) + "): " + points + ".";
    break;
  case kFlagDifference:
    s = "The vertical cup-to-disc ratios of the two eyes differ by " +
        FormatHundredths(thresholds.difference) + " or more on " + points + ".";
    break;
  case kFlagHigh:
    s = Capitalised(kEyeName[flag.eye]) +
        " eye: a vertical cup-to-disc ratio of " +
        FormatHundredths(thresholds.high) + " or more: " + points + ".";
    break;
  }
  return s;
}

std::string FlagLabel(const Flag &flag, const FlagThresholds &thresholds) {
  switch (flag.kind) {
  case kFlagRise:
    return std::string(kEyeName[flag.eye]) + " eye rose by " +
           FormatHundredths(thresholds.rise) + "+";
  case kFlagDifference:
    return "eyes differ by " + FormatHundredths(thresholds.difference) + "+";
  case kFlagHigh:
    return std::string(kEyeName[flag.eye]) + " eye " +
           FormatHundredths(thresholds.high) + "+";
  }
  return std::string();
}
