// One row of a visit export: which columns hold what, and the checks that
// make a row a visit or a bad row with a reason.
#pragma once

#include "orbitrace-render/history/read_settings.h"
#include "orbitrace-render/sketch_values.h"

#include <string>
#include <vector>

enum Eye { kRightEye = 0, kLeftEye = 1 };

// Positions of the four columns the report reads; other columns are left.
struct VisitColumns {
  int patient = -1, eye = -1, date = -1, values = -1;
};

// From the header row, names compared without regard to case or surrounding
// spaces. False with a reason when a column is missing or named twice.
bool FindColumns(const std::vector<std::string> &header, VisitColumns *columns,
                 std::string *error);
bool FindColumns(const std::vector<std::string> &header,
                 const std::string (&names)[kRoleCount], VisitColumns *columns,
                 std::string *error);

// The columns from the file's first record: the header when it names all
// four (by their names in `settings`), else the --columns list, in which
// case that record is a visit. False with a reason that says how to name
// the columns when there is neither.
bool ColumnsFor(const std::vector<std::string> &first,
                const ReadSettings &settings, VisitColumns *columns,
                bool *header, std::string *error);

struct VisitRow {
  std::string patient;
  Eye eye;
  int date; // days, see visit_date.h
  StoredValues values;
};

// "R", "L", "right", "left", "OD", "OS", "RE", "LE" in any case.
bool ParseEye(const std::string &text, Eye *eye);

// Fields are taken without surrounding white space (see Trimmed). False
// with the reason when a column is missing or empty or holds U+FFFD (bytes
// that were not text in the file's character set), the eye or the date is
// not one
// (dates with slashes read in `order`), or the values are not items of
// their lists.
bool ParseVisitRow(const std::vector<std::string> &fields,
                   const VisitColumns &columns, VisitRow *row,
                   std::string *reason, DateOrder order = DateOrder::kFromFile);
