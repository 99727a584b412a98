#include "orbitrace-render/history/visit_row.h"

#include "orbitrace-render/history/visit_date.h"

#include <strings.h>

namespace {

std::string Trimmed(const std::string &text) {
  const std::string::size_type first = text.find_first_not_of(" \t");
  if (first == std::string::npos)
    return std::string();
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// A field quoted in a reason: on one line and not too long, since a bad row
// may hold anything.
std::string Shown(const std::string &text, size_t kMax = 40) {
  std::string shown;
  for (size_t i = 0; i < text.size() && i < kMax; ++i)
    shown += static_cast<unsigned char>(text[i]) < 0x20 ? ' ' : text[i];
  if (text.size() > kMax) {
    while (!shown.empty() &&
           (static_cast<unsigned char>(shown.back()) & 0xC0) == 0x80)
      shown.pop_back(); // no half of a UTF-8 sequence
    if (!shown.empty() && static_cast<unsigned char>(shown.back()) >= 0xC0)
      shown.pop_back();
    shown += "...";
  }
  return shown;
}

struct Column {
  const char *name;
  int VisitColumns::*position;
};
const Column kColumns[] = {{"patient", &VisitColumns::patient},
                           {"eye", &VisitColumns::eye},
                           {"date", &VisitColumns::date},
                           {"values", &VisitColumns::values}};

} // namespace

bool FindColumns(const std::vector<std::string> &header, VisitColumns *columns,
                 std::string *error) {
  *columns = VisitColumns();
  for (size_t i = 0; i < header.size(); ++i) {
    const std::string name = Trimmed(header[i]);
    for (const Column &c : kColumns) {
      if (strcasecmp(name.c_str(), c.name) != 0)
        continue;
      if (columns->*c.position >= 0) {
        *error =
            std::string("the header names column \"") + c.name + "\" twice";
        return false;
      }
      columns->*c.position = static_cast<int>(i);
    }
  }
  for (const Column &c : kColumns) {
    if (columns->*c.position < 0) {
      *error = std::string("the header has no column \"") + c.name +
               "\" (it needs patient, eye, date and values)";
      return false;
    }
  }
  return true;
}

bool ParseEye(const std::string &text, Eye *eye) {
  const char *t = text.c_str();
  if (strcasecmp(t, "r") == 0 || strcasecmp(t, "right") == 0)
    *eye = kRightEye;
  else if (strcasecmp(t, "l") == 0 || strcasecmp(t, "left") == 0)
    *eye = kLeftEye;
  else
    return false;
  return true;
}

bool ParseVisitRow(const std::vector<std::string> &fields,
                   const VisitColumns &columns, VisitRow *row,
                   std::string *reason) {
  std::string text[4];
  for (int i = 0; i < 4; ++i) {
    const Column &c = kColumns[i];
    const size_t at = static_cast<size_t>(columns.*c.position);
    if (at >= fields.size()) {
      *reason = std::string("no ") + c.name + " column (the row has " +
                std::to_string(fields.size()) + " fields)";
      return false;
    }
    text[i] = Trimmed(fields[at]);
    if (text[i].empty()) {
      *reason = std::string(c.name) + " is empty";
      return false;
    }
  }
  row->patient = text[0];
  if (!ParseEye(text[1], &row->eye)) {
    *reason = "eye \"" + Shown(text[1]) + "\" is not R, L, right or left";
    return false;
  }
  if (!ParseIsoDate(text[2], &row->date)) {
    *reason = "date \"" + Shown(text[2]) +
              "\" is not a calendar date written YYYY-MM-DD";
    return false;
  }
  std::string error;
  if (!ParseValues(text[3], &row->values, &error)) {
    *reason = "values \"" + Shown(text[3]) + "\": " + Shown(error, 160);
    return false;
  }
  return true;
}
