#include "orbitrace-render/history/visit_row.h"

#include "orbitrace-render/history/visit_date.h"

#include <strings.h>

namespace {

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

// The columns' positions in role order.
int VisitColumns::*const kPositions[kRoleCount] = {
    &VisitColumns::patient, &VisitColumns::eye, &VisitColumns::date,
    &VisitColumns::values};

} // namespace

bool FindColumns(const std::vector<std::string> &header, VisitColumns *columns,
                 std::string *error) {
  return FindColumns(header, ReadSettings().headerNames, columns, error);
}

bool FindColumns(const std::vector<std::string> &header,
                 const std::string (&names)[kRoleCount], VisitColumns *columns,
                 std::string *error) {
  *columns = VisitColumns();
  for (size_t i = 0; i < header.size(); ++i) {
    const std::string name = Trimmed(header[i]);
    for (int role = 0; role < kRoleCount; ++role) {
      if (strcasecmp(name.c_str(), names[role].c_str()) != 0)
        continue;
      if (columns->*kPositions[role] >= 0) {
        *error = "the header names column \"" + names[role] + "\" twice";
        return false;
      }
      columns->*kPositions[role] = static_cast<int>(i);
    }
  }
  for (int role = 0; role < kRoleCount; ++role) {
    if (columns->*kPositions[role] < 0) {
      *error = "the header has no column \"" + names[role] +
               "\" (it needs patient, eye, date and values; --column " +
               kRoleNames[role] + "=NAME takes the column NAME for it)";
      return false;
    }
  }
  return true;
}

bool ColumnsFor(const std::vector<std::string> &first,
                const ReadSettings &settings, VisitColumns *columns,
                bool *header, std::string *error) {
  int named = 0;
  for (const std::string &name : settings.headerNames)
    for (const std::string &field : first)
      if (strcasecmp(Trimmed(field).c_str(), name.c_str()) == 0) {
        ++named;
        break;
      }
  *header = named == kRoleCount || settings.columns.empty();
  if (!*header) {
    *columns = VisitColumns();
    for (size_t i = 0; i < settings.columns.size(); ++i)
      if (settings.columns[i] >= 0)
        columns->*kPositions[settings.columns[i]] = static_cast<int>(i);
    return true;
  }
  if (named > 0)
    return FindColumns(first, settings.headerNames, columns, error);
  *error = "the first row is not a header naming the columns patient, eye, "
           "date and values. For a file without a header row, name its "
           "columns in order with --columns (e.g. --columns "
           "patient,eye,date,values,note); for a header that names them "
           "otherwise, say which is which with --column (e.g. --column "
           "patient=PatientID)";
  return false;
}

bool ParseEye(const std::string &text, Eye *eye) {
  const char *t = text.c_str();
  // Latin oculus dexter and sinister, and right and left eye.
  for (const char *right : {"r", "right", "od", "re"})
    if (strcasecmp(t, right) == 0) {
      *eye = kRightEye;
      return true;
    }
  for (const char *left : {"l", "left", "os", "le"})
    if (strcasecmp(t, left) == 0) {
      *eye = kLeftEye;
      return true;
    }
  return false;
}

bool ParseVisitRow(const std::vector<std::string> &fields,
                   const VisitColumns &columns, VisitRow *row,
                   std::string *reason, DateOrder order) {
  std::string text[4];
  for (int i = 0; i < kRoleCount; ++i) {
    const size_t at = static_cast<size_t>(columns.*kPositions[i]);
    if (at >= fields.size()) {
      *reason = std::string("no ") + kRoleNames[i] + " column (the row has " +
                std::to_string(fields.size()) + " fields)";
      return false;
    }
    text[i] = Trimmed(fields[at]);
    if (text[i].empty()) {
      *reason = std::string(kRoleNames[i]) + " is empty";
      return false;
    }
    // U+FFFD: bytes the character set has no character for, which a name
    // must not hide.
    if (text[i].find("\xEF\xBF\xBD") != std::string::npos) {
      *reason = std::string(kRoleNames[i]) + " \"" + Shown(text[i]) +
                "\" holds bytes that are not text in the character set it "
                "was read in (see --encoding)";
      return false;
    }
  }
  row->patient = text[0];
  if (!ParseEye(text[1], &row->eye)) {
    *reason = "eye \"" + Shown(text[1]) +
              "\" is not R, L, right, left, OD, OS, RE or LE";
    return false;
  }
  std::string why;
  if (!ParseVisitDate(text[2], order, &row->date, &why)) {
    *reason = "date \"" + Shown(text[2]) + "\" " + why;
    return false;
  }
  std::string error;
  if (!ParseValues(text[3], &row->values, &error)) {
    *reason = "values \"" + Shown(text[3]) + "\": " + Shown(error, 160);
    return false;
  }
  return true;
}
