#include "orbitrace-render/history/visit_row.h"

#include "orbitrace-render/history/visit_date.h"
#include "sketch/value_lists.h"
#include "sketch/value_selection.h"

#include <ctype.h>
#include <string.h>
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
int VisitColumns::*const kPositions[kAllRoles] = {
    &VisitColumns::patient,    &VisitColumns::eye,      &VisitColumns::date,
    &VisitColumns::values,     &VisitColumns::id,       &VisitColumns::name,
    &VisitColumns::horizontal, &VisitColumns::vertical, &VisitColumns::position,
    &VisitColumns::rim,        &VisitColumns::note,     &VisitColumns::record};

// A header's name without case, blanks, dots, dashes, underscores or "#":
// "Patient-ID", "patient id" and "PatientID" alike.
std::string Squeezed(const std::string &name) {
  std::string s;
  for (char c : name)
    if (!strchr(" \t._-#", c))
      s += static_cast<char>(tolower(static_cast<unsigned char>(c)));
  return s;
}

int IdRank(const std::string &name) {
  const std::string s = Squeezed(name);
  for (int i = 0; i < kIdHeaderCount; ++i)
    if (s == kIdHeaders[i])
      return i;
  return -1;
}

bool IsNameHeader(const std::string &name) {
  const std::string s = Squeezed(name);
  return s == "name" || s == "patientname" || s == "fullname" || s == "patname";
}

bool SameName(const std::string &field, const std::string &name) {
  return strcasecmp(Trimmed(field).c_str(), name.c_str()) == 0;
}

bool FourValueColumns(const std::string (&names)[kAllRoles],
                      const std::vector<std::string> &header) {
  for (int role = kHorizontalRole; role <= kRimRole; ++role) {
    bool found = false;
    for (const std::string &field : header)
      found = found || SameName(field, names[role]);
    if (!found)
      return false;
  }
  return true;
}

// Whether the values are read from their four columns: the header names
// all four and not the values' one column.
bool ValuesInFour(const std::string (&names)[kAllRoles],
                  const std::vector<std::string> &header) {
  if (!FourValueColumns(names, header))
    return false;
  for (const std::string &field : header)
    if (SameName(field, names[kValuesRole]))
      return false;
  return true;
}

// Whether a role's column is looked for in the header.
bool Looked(int role, const std::string (&names)[kAllRoles], bool four) {
  return role == kValuesRole                           ? !four
         : role >= kHorizontalRole && role <= kRimRole ? four
         : role == kIdRole ? !names[kIdRole].empty() && names[kIdRole] != "none"
                           : !names[role].empty();
}

// Each role's column by its name. False, with the reason, for a column
// named twice or one needed and not named.
bool PlaceColumns(const std::vector<std::string> &header,
                  const std::string (&names)[kAllRoles], bool four,
                  VisitColumns *columns, std::string *error) {
  for (size_t i = 0; i < header.size(); ++i) {
    for (int role = 0; role < kAllRoles; ++role) {
      if (!Looked(role, names, four) || !SameName(header[i], names[role]))
        continue;
      if (columns->*kPositions[role] >= 0) {
        if (role == kNoteRole)
          continue; // the first of two notes, as nothing is lost by it
        *error = "the header names column \"" + names[role] + "\" twice";
        return false;
      }
      columns->*kPositions[role] = static_cast<int>(i);
    }
  }
  for (int role = 0; role < kAllRoles; ++role) {
    const bool needed =
        Looked(role, names, four) && role != kNoteRole && role != kRecordRole;
    if (needed && columns->*kPositions[role] < 0) {
      // Values in four columns under other names are a likely cause.
      const char *four = role == kValuesRole
                             ? "; or --column horizontal=NAME, and so "
                               "vertical, location and rim, takes four "
                               "columns for them"
                             : "";
      *error = "the header has no column \"" + names[role] +
               "\" (it needs patient, eye, date and values, or horizontal, "
               "vertical, location and rim for values in four columns; "
               "--column " +
               kRoleNames[role] + "=NAME takes the column NAME for it" + four +
               ")";
      return false;
    }
  }
  return true;
}

// The columns no role takes whose names are common names of an ID.
std::vector<int> LikelyIds(const std::vector<std::string> &header,
                           const VisitColumns &columns) {
  std::vector<int> likely;
  for (size_t i = 0; i < header.size(); ++i) {
    bool taken = false;
    for (int role = 0; role < kAllRoles; ++role)
      taken = taken || columns.*kPositions[role] == static_cast<int>(i);
    if (!taken && IdRank(header[i]) >= 0)
      likely.push_back(static_cast<int>(i));
  }
  return likely;
}

// The likeliest of `likely` becomes the ID column and leaves the list.
void TakeLikeliestId(const std::vector<std::string> &header,
                     std::vector<int> *likely, VisitColumns *columns) {
  size_t best = 0;
  for (size_t k = 1; k < likely->size(); ++k)
    if (IdRank(header[(*likely)[k]]) < IdRank(header[(*likely)[best]]))
      best = k;
  columns->id = (*likely)[best];
  columns->idFound = true;
  likely->erase(likely->begin() + static_cast<long>(best));
}

// What the header suggests that was not taken: a likely ID column left
// unused, or a name column beside an ID in the patient column.
void NoteUnused(const std::vector<std::string> &header,
                const VisitColumns &columns, const std::vector<int> &likely,
                std::vector<std::string> *notes) {
  const std::string by =
      columns.id >= 0
          ? "patients are told apart by \"" + Trimmed(header[columns.id]) + "\""
      : columns.name >= 0 || IdRank(header[columns.patient]) >= 0
          ? "the patient column is the ID"
          : "patients are told apart by their names";
  for (int at : likely)
    notes->push_back("column \"" + Trimmed(header[at]) +
                     "\" looks like a patient ID but is not used (" + by +
                     "; --column id=" + Trimmed(header[at]) +
                     " keys patients by it)");
  if (columns.name < 0 && columns.id < 0 &&
      IdRank(header[columns.patient]) >= 0)
    for (size_t i = 0; i < header.size(); ++i)
      if (IsNameHeader(header[i]))
        notes->push_back("column \"" + Trimmed(header[i]) +
                         "\" looks like the patients' names but is not "
                         "used (--column name=" +
                         Trimmed(header[i]) + " shows it beside the ID)");
}

} // namespace

int ColumnOf(const VisitColumns &columns, int role) {
  return columns.*kPositions[role];
}

bool FindColumns(const std::vector<std::string> &header, VisitColumns *columns,
                 std::string *error) {
  return FindColumns(header, ReadSettings().headerNames, columns, error);
}

bool FindColumns(const std::vector<std::string> &header,
                 const std::string (&names)[kAllRoles], VisitColumns *columns,
                 std::string *error, std::vector<std::string> *notes) {
  *columns = VisitColumns();
  if (!PlaceColumns(header, names, ValuesInFour(names, header), columns, error))
    return false;
  // An ID column by its common name, unless the patient column is the ID
  // (a name column is given) or none is wanted.
  std::vector<int> likely = LikelyIds(header, *columns);
  if (names[kIdRole].empty() && names[kNameRole].empty() &&
      IdRank(header[columns->patient]) < 0 && !likely.empty())
    TakeLikeliestId(header, &likely, columns);
  if (notes)
    NoteUnused(header, *columns, likely, notes);
  return true;
}

bool ColumnsFor(const std::vector<std::string> &first,
                const ReadSettings &settings, VisitColumns *columns,
                bool *header, std::string *error,
                std::vector<std::string> *notes) {
  int named = 0;
  const bool four = FourValueColumns(settings.headerNames, first);
  for (int role = 0; role < kRoleCount; ++role)
    for (const std::string &field : first)
      if (SameName(field, settings.headerNames[role])) {
        ++named;
        break;
      }
  const bool whole = named == kRoleCount || (named == kRoleCount - 1 && four);
  *header = whole || settings.columns.empty();
  if (!*header) {
    *columns = VisitColumns();
    for (size_t i = 0; i < settings.columns.size(); ++i)
      if (settings.columns[i] >= 0)
        columns->*kPositions[settings.columns[i]] = static_cast<int>(i);
    return true;
  }
  if (named > 0 || four)
    return FindColumns(first, settings.headerNames, columns, error, notes);
  *error = "the first row is not a header naming the columns patient, eye, "
           "date and values. For a file without a header row, name its "
           "columns in order with --columns (e.g. --columns "
           "patient,eye,date,values,note); for a header that names them "
           "otherwise, say which is which with --column (e.g. --column "
           "patient=PatientID)";
  return false;
}

bool ParseEye(const std::string &text, Eye *eye) {
  // Latin oculus dexter and sinister, German rechts and links, French
  // droit and gauche.
  static const struct {
    const char *text;
    Eye eye;
  } kEyes[] = {
      {"r", kRightEye},       {"l", kLeftEye},     {"right", kRightEye},
      {"left", kLeftEye},     {"od", kRightEye},   {"os", kLeftEye},
      {"re", kRightEye},      {"le", kLeftEye},    {"right eye", kRightEye},
      {"left eye", kLeftEye}, {"li", kLeftEye},    {"rechts", kRightEye},
      {"links", kLeftEye},    {"d", kRightEye},    {"g", kLeftEye},
      {"droit", kRightEye},   {"gauche", kLeftEye}};
  for (const auto &e : kEyes)
    if (strcasecmp(text.c_str(), e.text) == 0) {
      *eye = e.eye;
      return true;
    }
  return false;
}

bool ParseVisitValues(const std::vector<std::string> &texts, bool decimalComma,
                      StoredValues *values, std::string *reason) {
  const std::vector<std::string> fields =
      texts.size() == 1 ? SplitValues(texts[0]) : texts;
  if (!FourValues(fields, reason))
    return false;
  for (int i = 0; i < 4; ++i) {
    const ValueList &list = kValueLists[i];
    std::string text = Trimmed(fields[i]);
    if (decimalComma)
      for (char &c : text)
        c = c == ',' ? '.' : c;
    const int item =
        text.empty() ? -1 : NamedItem(list.items, list.count, text.c_str());
    if (item < 0) {
      *reason = NotInList(list, Shown(fields[i]));
      if (!decimalComma && fields[i].find(',') != std::string::npos)
        *reason += " (a decimal comma is read only where the separator is "
                   "not a comma)";
      return false;
    }
    values->*list.value = list.items[item];
  }
  return true;
}

namespace {

// The trimmed text of each role's column but the note's. False, with the
// reason, for a column the row has not, one empty but the name, or one
// holding U+FFFD.
bool RoleTexts(const std::vector<std::string> &fields,
               const VisitColumns &columns, std::string (&text)[kAllRoles],
               std::string *reason) {
  for (int i = 0; i < kAllRoles; ++i) {
    const int position = columns.*kPositions[i];
    if (position < 0 || i == kNoteRole)
      continue;
    const size_t at = static_cast<size_t>(position);
    if (at >= fields.size()) {
      *reason = std::string("no ") + kRoleNames[i] + " column (the row has " +
                std::to_string(fields.size()) + " fields)";
      return false;
    }
    text[i] = Trimmed(fields[at]);
    // A missing name shows the ID instead, a visit without its record's ID
    // is known by patient, eye and date; every other column is needed.
    if (text[i].empty() && i != kNameRole && i != kRecordRole) {
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
  return true;
}

// The visit's day: a date, and one a visit can be on.
bool VisitDay(const std::string &text, const RowRules &rules, VisitRow *row,
              std::string *reason) {
  std::string why;
  if (!ParseVisitDate(text, rules.order, &row->date, &why, &row->timeDropped)) {
    *reason = "date \"" + Shown(text) + "\" " + why;
    return false;
  }
  if (row->date < rules.firstDay || row->date > rules.lastDay) {
    *reason = "date \"" + Shown(text) + "\" cannot be a visit: " +
              (row->date < rules.firstDay
                   ? "it is before " + FormatIsoDate(rules.firstDay)
                   : "it is after the day of the run, " +
                         FormatIsoDate(rules.lastDay));
    return false;
  }
  return true;
}

// The values from their one column or their four.
bool RowValues(const std::string (&text)[kAllRoles], bool four,
               const RowRules &rules, VisitRow *row, std::string *reason) {
  std::vector<std::string> values;
  if (four)
    values = {text[kHorizontalRole], text[kVerticalRole], text[kLocationRole],
              text[kRimRole]};
  else
    values = {text[kValuesRole]};
  std::string error;
  if (!ParseVisitValues(values, rules.decimalComma, &row->values, &error)) {
    *reason =
        (four ? "values: " : "values \"" + Shown(text[kValuesRole]) + "\": ") +
        Shown(error, 200);
    return false;
  }
  return true;
}

} // namespace

bool ParseVisitRow(const std::vector<std::string> &fields,
                   const VisitColumns &columns, VisitRow *row,
                   std::string *reason, const RowRules &rules) {
  std::string text[kAllRoles];
  row->note = static_cast<size_t>(columns.note) < fields.size()
                  ? Trimmed(fields[static_cast<size_t>(columns.note)])
                  : std::string();
  if (!RoleTexts(fields, columns, text, reason))
    return false;
  row->record = text[kRecordRole];
  if (columns.name >= 0) {
    row->id = text[kPatientRole];
    row->patient = text[kNameRole].empty() ? row->id : text[kNameRole];
  } else {
    row->id = text[kIdRole];
    row->patient = text[kPatientRole];
  }
  if (!ParseEye(text[kEyeRole], &row->eye)) {
    *reason = "eye \"" + Shown(text[kEyeRole]) +
              "\" is not R, L, right, left, OD, OS, RE, LE, Re, Li, D or G "
              "(see the manual's table)";
    return false;
  }
  return VisitDay(text[kDateRole], rules, row, reason) &&
         RowValues(text, columns.values < 0, rules, row, reason);
}
