// One row of a visit export: which columns hold what, and the checks that
// make a row a visit or a bad row with a reason.
#pragma once

#include "orbitrace-render/history/read_settings.h"
#include "orbitrace-render/sketch_values.h"

#include <limits.h>

#include <string>
#include <vector>

enum Eye { kRightEye = 0, kLeftEye = 1 };

// Positions of the columns the report reads, -1 for one the file has not;
// other columns are left. The values are in `values` or in the four
// columns of their own.
struct VisitColumns {
  int patient = -1, eye = -1, date = -1, values = -1;
  int id = -1, name = -1;
  int horizontal = -1, vertical = -1, position = -1, rim = -1;
  int note = -1;
  int record = -1;
  bool idFound = false; // the ID column found by its common name
};

// The position of a role's column (see kAllRoles).
int ColumnOf(const VisitColumns &columns, int role);

// From the header row, names compared without regard to case or surrounding
// spaces. False with a reason when a column is missing or named twice.
// `notes` gets what the header suggests that was not taken: a likely ID
// column left unused, or a name column beside an ID in the patient column.
bool FindColumns(const std::vector<std::string> &header, VisitColumns *columns,
                 std::string *error);
bool FindColumns(const std::vector<std::string> &header,
                 const std::string (&names)[kAllRoles], VisitColumns *columns,
                 std::string *error, std::vector<std::string> *notes = nullptr);

// The columns from the file's first record: the header when it names the
// columns every file has (by their names in `settings`), else the
// --columns list, in which case that record is a visit. False with a reason
// that says how to name the columns when there is neither.
bool ColumnsFor(const std::vector<std::string> &first,
                const ReadSettings &settings, VisitColumns *columns,
                bool *header, std::string *error,
                std::vector<std::string> *notes = nullptr);

struct VisitRow {
  std::string patient; // the name the report shows
  std::string id;      // the ID beside it, or ""
  Eye eye;
  int date;                 // days, see visit_date.h
  bool timeDropped = false; // the date had a time of day after it
  StoredValues values;
  std::string note;   // "" for none
  std::string record; // the record's own ID, "" for none
};

// How a row's fields are read beyond the columns.
struct RowRules {
  DateOrder order = DateOrder::kFromFile; // of dates with slashes
  bool decimalComma = false; // "0,45" is ".45": the separator is no comma
  int firstDay = -25567;     // 1900-01-01
  int lastDay = INT_MAX;     // the day of the run
};

// The eyes as exports write them, in any case: R/L, right/left, OD/OS,
// RE/LE, Right eye/Left eye, Re/Li and rechts/links, D/G and
// droit/gauche.
bool ParseEye(const std::string &text, Eye *eye);

// The values from their one column ("0.45 | .60|3|-0,20") or four, each
// read as the plug-in reads a stored value: by value when it is a number,
// so "0.45" is ".45" and "1.0" is "1".
bool ParseVisitValues(const std::vector<std::string> &texts, bool decimalComma,
                      StoredValues *values, std::string *reason);

// Fields are taken without surrounding white space (see Trimmed). The note
// is taken as it is, even when missing, empty or not all text. False
// with the reason when another column is missing or empty or holds U+FFFD
// (bytes that were not text in the file's character set), the eye or the date
// is not one or not a day a visit can be on, or the values are not items of
// their lists.
bool ParseVisitRow(const std::vector<std::string> &fields,
                   const VisitColumns &columns, VisitRow *row,
                   std::string *reason, const RowRules &rules = RowRules());
