#include "orbitrace-render/history/visit_spool.h"

#include "orbitrace-render/history/csv_records.h"
#include "orbitrace-render/history/name_key.h"
#include "orbitrace-render/history/visit_date.h"
#include "sketch/value_lists.h"

#include <errno.h>
#include <stdint.h>
#include <string.h>

#include <algorithm>
#include <istream>
#include <string_view>
#include <unordered_map>

#include <strings.h>
#include <time.h>

namespace {

// Values are kept as the indices of their items in the lists, the note in
// a file of its own, as notes are long and few.
struct SpoolRecord {
  uint32_t patient;
  int32_t line;
  int32_t date;
  uint32_t noteBytes;
  int64_t noteAt;
  uint8_t eye, horizontal, vertical, position, rim, noteCut;
  uint16_t recordBytes; // the record's ID, before the note at noteAt
};

uint8_t ItemIndex(const char *const *items, int count,
                  const std::string &text) {
  for (int i = 0; i < count; ++i)
    if (text == items[i])
      return static_cast<uint8_t>(i);
  return 0; // not reached: the row was checked
}

// Seeks only when the record does not follow the last one, so an export
// already grouped by patient is written straight through.
bool WriteAt(FILE *file, long offset, long *position,
             const SpoolRecord &record) {
  if (offset != *position && fseek(file, offset, SEEK_SET) != 0)
    return false;
  *position = offset + static_cast<long>(sizeof record);
  return fwrite(&record, sizeof record, 1, file) == 1;
}

std::string SystemError(const char *what) {
  return std::string(what) + ": " + strerror(errno);
}

// The export, to be read more than once: a stream that can seek goes back
// to where it began, any other is first copied to a temporary file.
struct Input {
  std::istream *stream;
  std::streampos start;
  FILE *copy = nullptr;
};

bool OpenInput(std::istream &csv, Input *input, std::string *error) {
  input->stream = &csv;
  input->start = csv.tellg();
  if (input->start != std::streampos(-1))
    return true;
  csv.clear();
  input->copy = tmpfile();
  if (!input->copy) {
    *error = SystemError("cannot make a temporary file");
    return false;
  }
  std::string block(1 << 16, '\0');
  bool written = true;
  while (written &&
         (csv.read(&block[0], static_cast<std::streamsize>(block.size())),
          csv.gcount() > 0))
    written = fwrite(block.data(), 1, static_cast<size_t>(csv.gcount()),
                     input->copy) == static_cast<size_t>(csv.gcount());
  if (!written || fflush(input->copy) != 0) {
    *error = SystemError("cannot write a temporary file");
    return false;
  }
  return true;
}

ByteSource FromStart(Input *input) {
  if (input->copy) {
    rewind(input->copy);
    FILE *copy = input->copy;
    return [copy](char *buffer, size_t size) {
      return fread(buffer, 1, size, copy);
    };
  }
  input->stream->clear();
  input->stream->seekg(input->start);
  return StreamSource(*input->stream);
}

// Whether a record repeats the header row: the same fields, but for case
// and the blanks around them.
bool SameFields(const std::vector<std::string> &a,
                const std::vector<std::string> &b) {
  if (a.size() != b.size())
    return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (strcasecmp(Trimmed(a[i]).c_str(), Trimmed(b[i]).c_str()) != 0)
      return false;
  return true;
}

// The columns from the file's first record, and what they tell of the
// file. False, with the reason, when they cannot be told.
bool TakeColumns(const CsvRecord &record, const ReadSettings &settings,
                 ReadFacts *facts, VisitColumns *columns, bool *isHeader,
                 std::string *error) {
  facts->columnNotes.clear();
  if (!ColumnsFor(record.fields, settings, columns, isHeader, error,
                  &facts->columnNotes)) {
    *error = "line " + std::to_string(record.line) + ": " + *error;
    const char named = facts->layout.sepLine;
    if (named && named != facts->layout.separator)
      *error += std::string(". The file's first line says \"sep=") + named +
                "\", where --separator says " +
                SeparatorName(facts->layout.separator);
    return false;
  }
  if (*isHeader) {
    facts->headerLine = record.line;
    facts->headerLastLine = record.lastLine;
    facts->headerRecoded = record.recoded;
  }
  facts->idFound = columns->idFound;
  facts->idColumn = columns->id < 0 ? ""
                    : *isHeader     ? Trimmed(record.fields[columns->id])
                                    : "id";
  facts->nameColumn = columns->name < 0 ? ""
                      : *isHeader       ? Trimmed(record.fields[columns->name])
                                        : "name";
  return true;
}

// The records of the visits, after the header or with the --columns list;
// a repeat of the header goes to `again`.
bool ReadVisits(
    const ByteSource &read, const CsvFormat &format,
    const ReadSettings &settings, ReadFacts *facts,
    const std::function<void(const CsvRecord &, const VisitColumns &)> &visit,
    const std::function<void(int, int, const std::string &)> &recordError,
    std::string *error,
    const std::function<void(const CsvRecord &)> &again = nullptr) {
  VisitColumns columns;
  bool haveColumns = false, failed = false;
  std::vector<std::string> header;
  const bool read_ = ReadCsvRecords(
      read, format,
      [&](const CsvRecord &record) {
        if (failed)
          return;
        if (!haveColumns) {
          haveColumns = true;
          bool isHeader = false;
          failed =
              !TakeColumns(record, settings, facts, &columns, &isHeader, error);
          if (isHeader && !failed)
            header = record.fields;
          if (failed || isHeader)
            return;
        }
        if (!header.empty() && SameFields(record.fields, header)) {
          if (again)
            again(record);
          return;
        }
        visit(record, columns);
      },
      [&](int line, int lastLine, const std::string &reason) {
        if (failed)
          return;
        if (!haveColumns && settings.columns.empty()) {
          // Without --columns the first row must be the header.
          *error = "line " + std::to_string(line) +
                   ": the header row cannot be read: " + reason;
          failed = true;
          return;
        }
        recordError(line, lastLine, reason);
      },
      error, &facts->layout);
  if (read_ && !failed && !haveColumns) {
    *error = "the file is empty: no header row and no visit";
    failed = true;
  }
  return read_ && !failed;
}

// The day of the run, local time, in days.
int Today() {
  const time_t now = time(nullptr);
  struct tm local;
  char text[16];
  int days = 0;
  if (localtime_r(&now, &local) &&
      strftime(text, sizeof text, "%Y-%m-%d", &local) > 0)
    ParseIsoDate(text, &days);
  return days;
}

// The order of day and month that the file's dates with slashes show.
bool SettleDateOrder(const ByteSource &read, const CsvFormat &format,
                     const ReadSettings &settings, ReadFacts *facts,
                     std::string *error) {
  struct Seen {
    int line = 0;
    std::string date;
  } seen[4]; // by SlashDate
  if (!ReadVisits(
          read, format, settings, facts,
          [&](const CsvRecord &record, const VisitColumns &columns) {
            if (static_cast<size_t>(columns.date) >= record.fields.size())
              return;
            const std::string date =
                DateWithoutTime(Trimmed(record.fields[columns.date]));
            Seen &s = seen[static_cast<int>(ReadSlashDate(date))];
            if (s.line == 0)
              s = Seen{record.line, date};
          },
          [](int, int, const std::string &) {}, error))
    return false;
  const Seen &day = seen[static_cast<int>(SlashDate::kDayFirst)];
  const Seen &month = seen[static_cast<int>(SlashDate::kMonthFirst)];
  const Seen &either = seen[static_cast<int>(SlashDate::kEitherOrder)];
  if (day.line && month.line) {
    *error = "the dates disagree on the order of day and month: line " +
             std::to_string(day.line) + " has " + day.date +
             " (day first), line " + std::to_string(month.line) + " has " +
             month.date +
             " (month first). Say --date-order dmy or mdy; the dates that "
             "do not fit it are then left out as bad rows";
    return false;
  }
  if (!day.line && !month.line && either.line) {
    *error = "line " + std::to_string(either.line) + ": the date " +
             either.date +
             " could be day or month first, and no date of the file tells "
             "(a number over 12 is a day); say --date-order dmy or mdy";
    return false;
  }
  const Seen &told = day.line ? day : month;
  facts->dateOrder = day.line     ? DateOrder::kDayFirst
                     : month.line ? DateOrder::kMonthFirst
                                  : DateOrder::kFromFile;
  facts->dateLine = told.line;
  facts->date = told.date;
  return true;
}

// The roles of the columns a record's cut fields are in: the first one,
// or -1 when only the note or other columns were cut.
int CutRole(const CsvRecord &record, const VisitColumns &columns) {
  for (int role = 0; role < kAllRoles; ++role) {
    if (role == kNoteRole)
      continue;
    const size_t at = static_cast<size_t>(ColumnOf(columns, role));
    if (at < record.cut.size() && record.cut[at])
      return role;
  }
  return -1;
}

bool AnyCut(const CsvRecord &record) {
  for (bool cut : record.cut)
    if (cut)
      return true;
  return false;
}

// The export opened to be read again, its character set and its order of
// day and month known: what the reading of the visits starts from.
bool StartReading(std::istream &csv, const ReadSettings &settings, Input *input,
                  CsvFormat *format, ReadFacts *facts, std::string *error) {
  format->separator = settings.separator;
  *facts = ReadFacts();
  facts->dateOrder = settings.dateOrder;
  facts->dateOrderGiven = settings.dateOrder != DateOrder::kFromFile;
  bool failed = !OpenInput(csv, input, error);
  facts->encoding = settings.encoding;
  if (!failed && settings.encoding == TextEncoding::kDetect)
    failed = !DetectEncoding(FromStart(input), &facts->encoding,
                             &facts->encodingEvidence, error, &facts->fallback,
                             &facts->otherReadings);
  format->encoding = facts->encoding;
  format->linesApart = facts->encodingEvidence == EncodingEvidence::kMostlyUtf8;
  format->fallback = facts->fallback;
  if (!failed && !facts->dateOrderGiven)
    failed =
        !SettleDateOrder(FromStart(input), *format, settings, facts, error);
  return !failed;
}

RowRules RulesFor(const ReadSettings &settings, const ReadFacts &facts) {
  RowRules rules;
  rules.order = facts.dateOrder;
  rules.lastDay = settings.lastDay != 0 ? settings.lastDay : Today();
  return rules;
}

// Whether a record is of a patient asked for (all are when none is): by
// the ID, the name or the patient column, as written in any composition of
// the letters. `named` marks the patients found.
bool Wanted(const CsvRecord &record, const VisitColumns &columns,
            const std::vector<std::string> &wanted, std::vector<bool> *named) {
  if (wanted.empty())
    return true;
  size_t which = wanted.size();
  for (int role : {kPatientRole, kIdRole, kNameRole}) {
    const size_t at = static_cast<size_t>(ColumnOf(columns, role));
    if (which == wanted.size() && at < record.fields.size())
      which = static_cast<size_t>(
          std::find(wanted.begin(), wanted.end(),
                    ComposedText(Trimmed(record.fields[at]))) -
          wanted.begin());
  }
  if (which == wanted.size())
    return false;
  (*named)[which] = true;
  return true;
}

// The record read as a visit. False, with the reason told, for a row left
// out; what a kept row lost or joined is told too.
bool CheckVisit(const CsvRecord &record, const VisitColumns &columns,
                const RowRules &rules, TextEncoding fallback,
                const std::function<void(const VisitProblem &)> &problem,
                VisitRow *row) {
  std::string reason;
  const int cut = CutRole(record, columns);
  if (cut >= 0) {
    reason = "longer than " + std::to_string(kMaxRecordBytes / 1024) +
             " KiB, and the cut falls in its " + kRoleNames[cut] + " column";
  } else if (ParseVisitRow(record.fields, columns, row, &reason, rules)) {
    reason.clear();
  } else if (reason.empty()) {
    reason = "not a visit";
  }
  if (!reason.empty()) {
    problem(VisitProblem{record.line, reason, record.lastLine});
    return false;
  }
  if (AnyCut(record) || record.fieldsLeftOut)
    problem(VisitProblem{record.line,
                         "its note is cut at " +
                             std::to_string(kMaxRecordBytes / 1024) +
                             " KiB; the visit is kept",
                         record.lastLine, VisitProblem::kNoteCut});
  if (record.lastLine > record.line)
    problem(VisitProblem{record.line,
                         "one row, by a quoted field that runs over a line "
                         "break; the visit is kept",
                         record.lastLine, VisitProblem::kLinesJoined});
  if (row->timeDropped)
    problem(VisitProblem{record.line,
                         "the time after its date is dropped; the visit is "
                         "kept",
                         record.lastLine, VisitProblem::kTimeDropped});
  if (record.recoded)
    problem(VisitProblem{record.line,
                         std::string("not UTF-8, as the rest of the file "
                                     "is: read as ") +
                             EncodingName(fallback) + "; the visit is kept",
                         record.lastLine, VisitProblem::kRecoded});
  return true;
}

// What the writing of the visits keeps from one to the next.
struct SpoolWriter {
  VisitSpool *spool = nullptr;
  FILE *rows = nullptr; // the records in the export's order
  std::unordered_map<std::string_view, uint32_t> index; // patients by key
  int64_t notesEnd = 0; // the size of spool->notes
};

// The row's name among the patient's names, its latest visit kept; a name
// written in another case or spacing is the same name.
void NoteName(SpooledPatient *patient, const VisitRow &row, int line) {
  for (SpooledName &n : patient->names)
    if (n.text == row.patient ||
        FoldedName(n.text) == FoldedName(row.patient)) {
      if (row.date >= n.latestDate) {
        n.latestDate = row.date;
        n.latestLine = line;
      }
      return;
    }
  patient->names.push_back(SpooledName{row.patient, line, row.date, line});
}

// The patient's number, a new one for a patient not seen before.
uint32_t PatientOf(SpoolWriter *writer, const VisitRow &row, int line) {
  VisitSpool *spool = writer->spool;
  const std::string key = ComposedText(row.id.empty() ? row.patient : row.id);
  auto found = writer->index.find(key);
  if (found != writer->index.end()) {
    if (!row.id.empty())
      NoteName(&spool->patients[found->second], row, line);
    return found->second;
  }
  const uint32_t patient = static_cast<uint32_t>(spool->patients.size());
  spool->patients.push_back(SpooledPatient{key, row.patient, row.id});
  if (!row.id.empty())
    NoteName(&spool->patients.back(), row, line);
  spool->rows.push_back(0);
  writer->index.emplace(spool->patients.back().key, patient);
  return patient;
}

// The visit's note into the notes' file and its record into the rows'.
bool WriteVisit(SpoolWriter *writer, const CsvRecord &record,
                const VisitColumns &columns, const VisitRow &row,
                std::string *error) {
  VisitSpool *spool = writer->spool;
  const uint32_t patient = PatientOf(writer, row, record.line);
  SpoolRecord r = {};
  // An ID is short; one longer than this is no record's.
  const size_t recordBytes = std::min<size_t>(row.record.size(), 1024);
  if (!row.note.empty() || recordBytes) {
    if (!spool->notes)
      spool->notes = tmpfile();
    if (!spool->notes ||
        fwrite(row.record.data(), 1, recordBytes, spool->notes) !=
            recordBytes ||
        fwrite(row.note.data(), 1, row.note.size(), spool->notes) !=
            row.note.size()) {
      *error = SystemError("cannot write a temporary file");
      return false;
    }
    r.noteAt = writer->notesEnd;
    writer->notesEnd += static_cast<int64_t>(recordBytes + row.note.size());
    r.noteBytes = static_cast<uint32_t>(row.note.size());
    r.recordBytes = static_cast<uint16_t>(recordBytes);
    const size_t column = static_cast<size_t>(columns.note);
    r.noteCut = column < record.cut.size() && record.cut[column];
  }
  r.patient = patient;
  r.line = record.line;
  r.date = row.date;
  r.eye = static_cast<uint8_t>(row.eye);
  r.horizontal = ItemIndex(kRatioItems, kRatioCount, row.values.horizontal);
  r.vertical = ItemIndex(kRatioItems, kRatioCount, row.values.vertical);
  r.position = ItemIndex(kHourItems, kHourCount, row.values.position);
  r.rim = ItemIndex(kRimItems, kRimCount, row.values.rim);
  if (fwrite(&r, sizeof r, 1, writer->rows) != 1) {
    *error = SystemError("cannot write a temporary file");
    return false;
  }
  ++spool->rows[patient];
  ++spool->totalRows;
  return true;
}

// The counting sort: each patient's rows go from `rows` to the place its
// count keeps for it in the spool's grouped file.
bool GroupByPatient(VisitSpool *spool, FILE *rows, std::string *error) {
  std::vector<long> place(spool->rows.size());
  long offset = 0;
  for (size_t p = 0; p < place.size(); ++p) {
    place[p] = offset;
    offset += static_cast<long>(spool->rows[p] * sizeof(SpoolRecord));
  }
  spool->grouped = tmpfile();
  if (!spool->grouped) {
    *error = SystemError("cannot make a temporary file");
    return false;
  }
  rewind(rows);
  SpoolRecord r;
  long position = 0;
  while (fread(&r, sizeof r, 1, rows) == 1) {
    if (!WriteAt(spool->grouped, place[r.patient], &position, r)) {
      *error = SystemError("cannot write a temporary file");
      return false;
    }
    place[r.patient] += sizeof r;
  }
  if (ferror(rows) || fflush(spool->grouped) != 0 ||
      (spool->notes && fflush(spool->notes) != 0)) {
    *error = "cannot read back a temporary file";
    return false;
  }
  return true;
}

} // namespace

bool SpoolVisits(std::istream &csv, const ReadSettings &settings,
                 VisitSpool *spool,
                 const std::function<void(const VisitProblem &)> &report,
                 std::string *error) {
  Input input;
  CsvFormat format;
  ReadFacts &facts = spool->read;
  bool failed = !StartReading(csv, settings, &input, &format, &facts, error);
  RowRules rules = RulesFor(settings, facts);
  std::vector<std::string> wanted;
  for (const std::string &id : settings.patients)
    wanted.push_back(ComposedText(id));
  std::vector<bool> named(settings.patients.size());
  // A header in the fallback code page is told before the rows after it.
  bool headerTold = false;
  const auto problem = [&](const VisitProblem &p) {
    if (facts.headerRecoded && !headerTold)
      report(VisitProblem{facts.headerLine,
                          std::string("the header row is not UTF-8, as the "
                                      "rest of the file is: read as ") +
                              EncodingName(facts.fallback),
                          facts.headerLastLine, VisitProblem::kRecoded});
    headerTold = true;
    if (p.line > 0)
      report(p);
  };
  SpoolWriter writer;
  writer.spool = spool;
  writer.rows = failed ? nullptr : tmpfile();
  if (!failed && !writer.rows) {
    *error = SystemError("cannot make a temporary file");
    failed = true;
  }
  if (!failed)
    failed = !ReadVisits(
                 FromStart(&input), format, settings, &facts,
                 [&](const CsvRecord &record, const VisitColumns &columns) {
                   if (failed || !Wanted(record, columns, wanted, &named))
                     return;
                   // A decimal comma where the comma separates no fields.
                   rules.decimalComma = facts.layout.separator != ',';
                   VisitRow row;
                   if (CheckVisit(record, columns, rules, facts.fallback,
                                  problem, &row))
                     failed = !WriteVisit(&writer, record, columns, row, error);
                 },
                 [&](int line, int lastLine, const std::string &reason) {
                   if (!failed)
                     problem(VisitProblem{line, reason, lastLine});
                 },
                 error,
                 [&](const CsvRecord &record) {
                   problem(VisitProblem{
                       record.line, "the header row again; skipped",
                       record.lastLine, VisitProblem::kHeaderAgain});
                 }) ||
             failed;
  if (input.copy)
    fclose(input.copy);
  if (!failed)
    problem(VisitProblem{0, ""}); // the header's, if not told yet
  for (size_t i = 0; i < named.size(); ++i)
    if (!named[i])
      spool->missing.push_back(settings.patients[i]);
  failed = failed || !GroupByPatient(spool, writer.rows, error);
  if (writer.rows)
    fclose(writer.rows);
  if (failed) {
    CloseSpool(spool);
    return false;
  }
  RewindSpool(spool);
  return true;
}

void RewindSpool(VisitSpool *spool) {
  spool->next = 0;
  if (spool->grouped)
    rewind(spool->grouped);
}

bool ReadNextPatient(
    VisitSpool *spool, PatientHistory *history,
    const std::function<void(const DuplicateVisit &)> &repeated) {
  if (!spool->grouped || spool->next >= spool->patients.size())
    return false;
  const size_t p = spool->next++;
  history->patient = spool->patients[p].name;
  history->id = spool->patients[p].id;
  history->key = spool->patients[p].key;
  history->eyes[kRightEye].clear();
  history->eyes[kLeftEye].clear();
  // Each eye's visits by date, when repeated rows are told apart here.
  std::unordered_map<int, size_t> byDate[2];
  for (unsigned i = 0; i < spool->rows[p]; ++i) {
    SpoolRecord r;
    if (fread(&r, sizeof r, 1, spool->grouped) != 1 || r.patient != p)
      return false;
    Visit v;
    v.date = r.date;
    v.line = r.line;
    v.values.horizontal = kRatioItems[r.horizontal];
    v.values.vertical = kRatioItems[r.vertical];
    v.values.position = kHourItems[r.position];
    v.values.rim = kRimItems[r.rim];
    v.noteAt = r.noteAt;
    v.noteBytes = r.noteBytes;
    v.recordBytes = r.recordBytes;
    v.noteCut = r.noteCut != 0;
    const int eye = r.eye == kLeftEye ? kLeftEye : kRightEye;
    std::vector<Visit> &visits = history->eyes[eye];
    if (repeated) {
      auto known = byDate[eye].emplace(v.date, visits.size());
      if (!known.second) {
        // A patient's rows come in the file's order, so the one kept is
        // the file's first of the date.
        const Visit &kept = visits[known.first->second];
        repeated(DuplicateVisit{v.line, kept.line, v.values, kept.values});
        continue;
      }
    }
    visits.push_back(v);
  }
  return true;
}

bool ReadNote(VisitSpool *spool, const Visit &visit, std::string *note) {
  note->assign(visit.noteBytes, '\0');
  if (visit.noteBytes == 0)
    return true;
  return spool->notes &&
         fseek(spool->notes,
               static_cast<long>(visit.noteAt + visit.recordBytes),
               SEEK_SET) == 0 &&
         fread(&(*note)[0], 1, note->size(), spool->notes) == note->size();
}

bool ReadRecordId(VisitSpool *spool, const Visit &visit, std::string *record) {
  record->assign(visit.recordBytes, '\0');
  if (visit.recordBytes == 0)
    return true;
  return spool->notes &&
         fseek(spool->notes, static_cast<long>(visit.noteAt), SEEK_SET) == 0 &&
         fread(&(*record)[0], 1, record->size(), spool->notes) ==
             record->size();
}

void CloseSpool(VisitSpool *spool) {
  for (FILE **file : {&spool->grouped, &spool->notes}) {
    if (*file)
      fclose(*file);
    *file = nullptr;
  }
}
