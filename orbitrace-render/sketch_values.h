// The four stored values of a sketch, checked against their lists. No
// drawing here, so the visit history's row checks can use it without cairo.
#pragma once

#include <string>
#include <vector>

// The four values in the order the Draw call returns them, each an item of
// its list.
struct StoredValues {
  std::string horizontal; // ratio item
  std::string vertical;   // ratio item
  std::string position;   // hour item
  std::string rim;        // rim item
};

// The fields of "H|V|LOCATION|RIM", split at every '|'.
std::vector<std::string> SplitValues(const std::string &text);

// False, with the reason, unless there are four fields.
bool FourValues(const std::vector<std::string> &fields, std::string *error);

// Each value's name, list, and the list as a reason describes it, in the
// order of the fields.
struct ValueList {
  const char *name;
  const char *const *items;
  int count;
  const char *described;
  std::string StoredValues::*value;
};
extern const ValueList kValueLists[4];

// The reason a value is refused; `shown` is the field as the reason quotes
// it.
std::string NotInList(const ValueList &list, const std::string &shown);

// Reads "H|V|LOCATION|RIM". Each field must be an item of its list, exactly;
// anything else (".3", "0.30", "13", a fifth field) is refused with a reason.
bool ParseValues(const std::string &text, StoredValues *values,
                 std::string *error);

// The inverse of ParseValues: "H|V|LOCATION|RIM".
std::string FormatValues(const StoredValues &values);
