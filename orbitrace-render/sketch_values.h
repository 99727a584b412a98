// The four stored values of a sketch, checked against their lists. No
// drawing here, so the visit history's row checks can use it without cairo.
#pragma once

#include <string>

// The four values in the order the Draw call returns them, each an item of
// its list.
struct StoredValues {
  std::string horizontal; // ratio item
  std::string vertical;   // ratio item
  std::string location;   // hour item
  std::string rim;        // rim item
};

// Reads "H|V|LOCATION|RIM". Each field must be an item of its list, exactly;
// anything else (".3", "0.30", "13", a fifth field) is refused with a reason.
bool ParseValues(const std::string &text, StoredValues *values,
                 std::string *error);

// The inverse of ParseValues: "H|V|LOCATION|RIM".
std::string FormatValues(const StoredValues &values);
