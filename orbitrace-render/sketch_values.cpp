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

const ValueList kValueLists[4] = {
    {"horizontal ratio", kRatioItems, kRatioCount, "1, .95 ... .05, 0",
     &StoredValues::horizontal},
    {"vertical ratio", kRatioItems, kRatioCount, "1, .95 ... .05, 0",
     &StoredValues::vertical},
    {"location", kHourItems, kHourCount, "1 ... 12", &StoredValues::position},
    {"rim", kRimItems, kRimCount, "1, .95 ... 0, -.05 ... -.95",
     &StoredValues::rim}};

std::vector<std::string> SplitValues(const std::string &text) {
  std::vector<std::string> fields;
  for (std::string::size_type start = 0;;) {
    const std::string::size_type bar = text.find('|', start);
    fields.push_back(text.substr(start, bar - start));
    if (bar == std::string::npos)
      return fields;
    start = bar + 1;
  }
}

bool FourValues(const std::vector<std::string> &fields, std::string *error) {
  if (fields.size() == 4)
    return true;
  *error = "expected 4 values separated by '|', found " +
           std::to_string(fields.size());
  return false;
}

std::string NotInList(const ValueList &list, const std::string &shown) {
  return std::string(list.name) + " \"" + shown + "\" is not one of " +
         list.described;
}

bool ParseValues(const std::string &text, StoredValues *values,
                 std::string *error) {
  const std::vector<std::string> fields = SplitValues(text);
  if (!FourValues(fields, error))
    return false;
  for (int i = 0; i < 4; ++i) {
    const ValueList &list = kValueLists[i];
    if (!IsItem(list.items, list.count, fields[i])) {
      *error = NotInList(list, fields[i]);
      return false;
    }
  }
  for (int i = 0; i < 4; ++i)
    values->*kValueLists[i].value = fields[i];
  return true;
}

std::string FormatValues(const StoredValues &values) {
  return values.horizontal + "|" + values.vertical + "|" + values.position +
         "|" + values.rim;
}
