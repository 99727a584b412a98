#include "orbitrace-render/history/visit_spool.h"

#include "orbitrace-render/history/csv_records.h"
#include "sketch/value_lists.h"

#include <errno.h>
#include <stdint.h>
#include <string.h>

#include <string_view>
#include <unordered_map>

namespace {

// Values are kept as the indices of their items in the lists.
struct SpoolRecord {
  uint32_t patient;
  int32_t line;
  int32_t date;
  uint8_t eye, horizontal, vertical, location, rim;
  uint8_t unused[3];
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

} // namespace

bool SpoolVisits(std::istream &csv, VisitSpool *spool,
                 const std::function<void(const VisitProblem &)> &problem,
                 std::string *error) {
  FILE *rows = tmpfile();
  if (!rows) {
    *error = std::string("cannot make a temporary file: ") + strerror(errno);
    return false;
  }
  std::unordered_map<std::string_view, uint32_t> index;
  VisitColumns columns;
  bool header = false, failed = false;
  ReadCsvRecords(
      csv,
      [&](const CsvRecord &record) {
        if (failed)
          return;
        if (!header) {
          header = true;
          failed = !FindColumns(record.fields, &columns, error);
          if (failed)
            *error = "line " + std::to_string(record.line) + ": " + *error;
          return;
        }
        VisitRow row;
        std::string reason;
        if (!ParseVisitRow(record.fields, columns, &row, &reason)) {
          problem(VisitProblem{record.line, reason});
          return;
        }
        auto found = index.find(row.patient);
        uint32_t patient;
        if (found == index.end()) {
          patient = static_cast<uint32_t>(spool->patients.size());
          spool->patients.push_back(row.patient);
          spool->rows.push_back(0);
          index.emplace(spool->patients.back(), patient);
        } else {
          patient = found->second;
        }
        SpoolRecord r = {};
        r.patient = patient;
        r.line = record.line;
        r.date = row.date;
        r.eye = static_cast<uint8_t>(row.eye);
        r.horizontal =
            ItemIndex(kRatioItems, kRatioCount, row.values.horizontal);
        r.vertical = ItemIndex(kRatioItems, kRatioCount, row.values.vertical);
        r.location = ItemIndex(kHourItems, kHourCount, row.values.location);
        r.rim = ItemIndex(kRimItems, kRimCount, row.values.rim);
        if (fwrite(&r, sizeof r, 1, rows) != 1) {
          *error =
              std::string("cannot write a temporary file: ") + strerror(errno);
          failed = true;
          return;
        }
        ++spool->rows[patient];
        ++spool->totalRows;
      },
      [&](int line, const std::string &reason) {
        if (!failed)
          problem(VisitProblem{line, reason});
      });
  if (!failed && !header) {
    *error = "no header row: the file is empty";
    failed = true;
  }

  // The counting sort: each patient's rows go to the place its count keeps
  // for it in the second file.
  std::vector<long> place(spool->rows.size());
  long offset = 0;
  for (size_t p = 0; p < place.size(); ++p) {
    place[p] = offset;
    offset += static_cast<long>(spool->rows[p] * sizeof(SpoolRecord));
  }
  spool->grouped = failed ? nullptr : tmpfile();
  if (!failed && !spool->grouped) {
    *error = std::string("cannot make a temporary file: ") + strerror(errno);
    failed = true;
  }
  rewind(rows);
  SpoolRecord r;
  long position = 0;
  while (!failed && fread(&r, sizeof r, 1, rows) == 1) {
    if (!WriteAt(spool->grouped, place[r.patient], &position, r)) {
      *error = std::string("cannot write a temporary file: ") + strerror(errno);
      failed = true;
    }
    place[r.patient] += sizeof r;
  }
  if (!failed && (ferror(rows) || fflush(spool->grouped) != 0)) {
    *error = "cannot read back a temporary file";
    failed = true;
  }
  fclose(rows);
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

bool ReadNextPatient(VisitSpool *spool, PatientHistory *history) {
  if (!spool->grouped || spool->next >= spool->patients.size())
    return false;
  const size_t p = spool->next++;
  history->patient = spool->patients[p];
  history->eyes[kRightEye].clear();
  history->eyes[kLeftEye].clear();
  for (unsigned i = 0; i < spool->rows[p]; ++i) {
    SpoolRecord r;
    if (fread(&r, sizeof r, 1, spool->grouped) != 1 || r.patient != p)
      return false;
    Visit v;
    v.date = r.date;
    v.line = r.line;
    v.values.horizontal = kRatioItems[r.horizontal];
    v.values.vertical = kRatioItems[r.vertical];
    v.values.location = kHourItems[r.location];
    v.values.rim = kRimItems[r.rim];
    history->eyes[r.eye == kLeftEye ? kLeftEye : kRightEye].push_back(v);
  }
  return true;
}

void CloseSpool(VisitSpool *spool) {
  if (spool->grouped)
    fclose(spool->grouped);
  spool->grouped = nullptr;
}
