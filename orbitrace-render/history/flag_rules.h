// The changes a visit-history report points out. They say what was
// measured in the stored values, never what it means for the patient.
#pragma once

#include "orbitrace-render/history/visit_history.h"

#include <string>
#include <vector>

// In hundredths of a ratio; kFlagOff turns a rule off.
enum { kFlagOff = -1 };
struct FlagThresholds {
  int rise = 20;       // an eye's vertical ratio above its first visit's
  int difference = 20; // between the eyes' vertical ratios on one date
  int high = 70;       // a vertical ratio
};

// ".20", "0.2", "1" or "off": a ratio from .01 to 1 in hundredths at most.
bool ParseThreshold(const std::string &text, int *hundredths,
                    std::string *error);

enum FlagKind { kFlagRise, kFlagDifference, kFlagHigh };

// One visit date at which a rule held, with the vertical ratios it compared
// (hundredths; -1 for an eye not seen that day).
struct FlagPoint {
  int date;
  int vertical[2];
};

struct Flag {
  FlagKind kind;
  int eye;          // kRightEye or kLeftEye; -1 for the difference
  int baseDate;     // the rise: the eye's first visit
  int baseVertical; // and its vertical ratio
  std::vector<FlagPoint> points;
};

// Rules in the order rise, difference, high; the rise and the high ratio
// right eye before left. A history with no visits gives none.
std::vector<Flag> FindFlags(const PatientHistory &history,
                            const FlagThresholds &thresholds);

// The flag in a sentence, e.g. "Right eye: the vertical ratio rose by .20
// or more since the first visit (.35 on 2019-03-01): .60 on 2022-05-02."
std::string FlagSentence(const Flag &flag, const FlagThresholds &thresholds);

// A few words for the summary's list: "right eye rose", "eyes differ",
// "left eye .70 or more".
std::string FlagLabel(const Flag &flag, const FlagThresholds &thresholds);
