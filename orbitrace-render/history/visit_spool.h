// The visit rows of an export, checked and grouped by patient on disk.
//
// Memory stays bounded by the number of patients, not of visits. The file
// is read up to three times, as a stream each time: for its character set
// (unless a byte-order mark or --encoding tells it), for the order of day
// and month in its dates (unless --date-order tells it), and for its rows.
// Standard input that cannot go back is copied to a temporary file first.
// In the last reading each good row is written as a small fixed-size record to
// a temporary file (its note, if any, to one of its own, which the record
// points into), and a counting sort by patient (by the per-patient counts
// of that first pass) writes them to a second temporary file in which every
// patient's rows follow each other, patients in the order the file first
// names them. The report then reads that file patient by patient, once to
// find the flags for its summary and once to draw. The input may come in
// any order, and standard input needs no copy.
#pragma once

#include "orbitrace-render/history/csv_records.h"
#include "orbitrace-render/history/read_settings.h"
#include "orbitrace-render/history/visit_history.h"

#include <stdio.h>

#include <deque>
#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

// A row left out, or one kept that the report names all the same.
struct VisitProblem {
  enum Kind {
    kLeftOut,     // a bad row, not in the report
    kNoteCut,     // its visit is kept, its note cut at kMaxRecordBytes
    kLinesJoined, // its visit is kept, read from lines joined by quotes
    kTimeDropped, // its visit is kept, the time after its date dropped
    kHeaderAgain, // the header row repeated, skipped
    kRecoded,     // not UTF-8 in a UTF-8 file: read in a code page
    kKinds
  };
  int line;
  std::string reason;
  int lastLine = 0; // the row's last line when it spans more than one
  Kind kind = kLeftOut;
};

// How the export was read, for the report and the command line to say.
struct ReadFacts {
  TextEncoding encoding = TextEncoding::kUtf8;
  EncodingEvidence encodingEvidence = EncodingEvidence::kGiven;
  // In a UTF-8 file, the code page of its lines that are not UTF-8.
  TextEncoding fallback = TextEncoding::kDetect;
  // With kAssumedInTie, the words other code pages read otherwise.
  std::string otherReadings;
  CsvLayout layout; // the separator, given or found, and how lines end
  // kFromFile when no date is written with slashes.
  DateOrder dateOrder = DateOrder::kFromFile;
  bool dateOrderGiven = false;
  int dateLine = 0;                       // the line whose date told the order
  std::string date;                       // that date as written
  int headerLine = 0, headerLastLine = 0; // 0 without a header row
  bool headerRecoded = false;             // read in the fallback code page
  // What tells patients apart: the ID column's header and whether it was
  // found by its common name, or the name column's; "" for both when the
  // patient column alone does.
  std::string idColumn, nameColumn;
  bool idFound = false;
  // What the header suggests that was not taken (a likely ID column).
  std::vector<std::string> columnNotes;
};

// A name the rows of one patient ID carry: a chart number that names two
// people, or a name that changed, is for the health records to tell.
struct SpooledName {
  std::string text; // as first written
  int firstLine;
  int latestDate, latestLine; // of its latest visit
};

// A patient as the spool keys them (see PatientHistory).
struct SpooledPatient {
  std::string key, name, id;
  // With an ID, every name its rows carry (in Unicode normal form C, each
  // once), in the order of their first rows; empty without an ID.
  std::vector<SpooledName> names = {};
};

struct VisitSpool {
  FILE *grouped = nullptr;             // records, patient after patient
  FILE *notes = nullptr;               // the notes, in the order of the rows
  std::deque<SpooledPatient> patients; // in order of first row
  std::vector<unsigned> rows;          // good rows per patient
  long totalRows = 0;
  // The --patient IDs that no record of the file names.
  std::vector<std::string> missing;
  ReadFacts read;
  // Reading position: the next patient ReadNextPatient returns.
  size_t next = 0;
};

// Reads the export as `settings` say: a header row naming the columns or
// the --columns list, then one visit per row; only the rows of
// settings.patients when there are any. Each bad row goes to `problem`
// with its lines and reason, and so does each row kept whose note was cut
// or whose quotes joined lines. Every line of the file that is not blank
// is in the header, a visit or one of these. False, with the reason in
// `error`, when the character set, the columns, the separator or the
// order of day and month cannot be told, the header row cannot be read,
// or a temporary file cannot be written.
bool SpoolVisits(std::istream &csv, const ReadSettings &settings,
                 VisitSpool *spool,
                 const std::function<void(const VisitProblem &)> &problem,
                 std::string *error);

// Goes back to the first patient.
void RewindSpool(VisitSpool *spool);

// The next patient's rows as read, not yet ordered. False after the last
// one or when the file cannot be read. With `repeated`, a row whose eye
// and date an earlier row of the file has goes to it instead, so that a
// patient's visits take no more memory than the dates a report can hold.
bool ReadNextPatient(
    VisitSpool *spool, PatientHistory *history,
    const std::function<void(const DuplicateVisit &)> &repeated = nullptr);

// A visit's note as the file has it, "" for none. False when the file of
// notes cannot be read.
bool ReadNote(VisitSpool *spool, const Visit &visit, std::string *note);

// The ID of a visit's record as the file has it, "" for none. False when
// the file of notes cannot be read.
bool ReadRecordId(VisitSpool *spool, const Visit &visit, std::string *record);

void CloseSpool(VisitSpool *spool);
