// One patient's visits, both eyes, in date order, and the columns that line
// the two eyes' sketches up by visit date.
#pragma once

#include "orbitrace-render/history/visit_row.h"
#include "orbitrace-render/sketch_values.h"

#include <string>
#include <vector>

struct Visit {
  int date; // days
  int line; // where the row starts in the file
  StoredValues values;
  // The note, kept on disk by the spool (see ReadNote): none when 0 bytes.
  long long noteAt = 0;
  unsigned noteBytes = 0;
  // The record's ID, kept before the note (see ReadRecordId): none when 0.
  unsigned recordBytes = 0;
  bool noteCut = false; // the row was cut in its note
};

struct PatientHistory {
  std::string patient; // the name shown, as the file first spells it
  // The ID beside the name (from an ID column, or the patient column when
  // a name column is given), as first written; "" when the file has none.
  std::string id;
  // Who the patient is: the ID, or without one the name, in Unicode
  // normal form C. Two rows are one patient when their keys are equal.
  std::string key;
  std::vector<Visit> eyes[2]; // indexed by Eye
};

// A row left out because an earlier row has the same patient, eye and date.
struct DuplicateVisit {
  int line;
  int firstLine;
  StoredValues values, firstValues; // of the row left out, of the one kept
};

// Puts each eye's visits in date order and takes out every row whose eye
// and date an earlier row of the file already had.
void OrderVisits(PatientHistory *history,
                 std::vector<DuplicateVisit> *duplicates);

// One visit date and, for each eye, the index of its visit on that date in
// eyes[], or -1.
struct VisitColumn {
  int date;
  int visit[2];
};

// Every date either eye was seen on, in order.
std::vector<VisitColumn> AlignByDate(const PatientHistory &history);

// A ratio item in hundredths: ".35" is 35, "1" is 100, "0" is 0.
int RatioHundredths(const std::string &ratio);

// Hundredths written as the lists write ratios: 35 is ".35", 100 is "1",
// 5 is ".05"; negative values get a leading "-".
std::string FormatHundredths(int hundredths);
