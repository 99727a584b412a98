#include "orbitrace-render/sketch_values.h"

#include "sketch/value_lists.h"

#include <vector>

namespace {

bool IsItem(const char *const *items, int count, const std::string &text) {
  for (int i = 0; i < count; ++i)
    if (text == items[i])
      return true;
  return false;
}

} // namespace

bool ParseValues(const std::string &text, StoredValues *values,
                 std::string *error) {
  std::vector<std::string> fields;
  std::string::size_type start = 0;
  for (;;) {
    std::string::size_type bar = text.find('|', start);
    fields.push_back(text.substr(start, bar - start));
    if (bar == std::string::npos)
      break;
    start = bar + 1;
  }
  if (fields.size() != 4) {
    *error = "expected 4 values separated by '|', found " +
             std::to_string(fields.size());
    return false;
  }
  struct Check {
    const char *name;
    const char *const *items;
    int count;
    const char *list;
  };
  const Check checks[4] = {
      {"horizontal ratio", kRatioItems, kRatioCount, "1, .95 ... .05, 0"},
      {"vertical ratio", kRatioItems, kRatioCount, "1, .95 ... .05, 0"},
      {"location", kHourItems, kHourCount, "1 ... 12"},
      {"rim", kRimItems, kRimCount, "1, .95 ... 0, -.05 ... -.95"}};
  for (int i = 0; i < 4; ++i) {
    if (!IsItem(checks[i].items, checks[i].count, fields[i])) {
      *error = std::string(checks[i].name) + " \"" + fields[i] +
               "\" is not one of " + checks[i].list;
      return false;
    }
  }
  values->horizontal = fields[0];
  values->vertical = fields[1];
  values->location = fields[2];
  values->rim = fields[3];
  return true;
}

std::string FormatValues(const StoredValues &values) {
  return values.horizontal + "|" + values.vertical + "|" + values.location +
         "|" + values.rim;
}
