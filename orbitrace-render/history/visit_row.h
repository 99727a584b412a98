// One row of a visit export: which columns hold what, and the checks that
// make a row a visit or a bad row with a reason.
#pragma once

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

struct VisitRow {
  std::string patient;
  Eye eye;
  int date; // days, see visit_date.h
  SketchValues values;
};

// "R", "L", "right", "left" in any case.
bool ParseEye(const std::string &text, Eye *eye);

// Fields are taken without surrounding spaces and tabs. False with the
// reason when a column is missing or empty, the eye or the date is not one,
// or the values are not items of their lists.
bool ParseVisitRow(const std::vector<std::string> &fields,
                   const VisitColumns &columns, VisitRow *row,
                   std::string *reason);
