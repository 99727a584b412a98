// The records of an RFC 4180 file, read with libcsv as a stream, each with
// the line it starts on as the file counts lines (a line break inside
// quotes starts a new line too).
#pragma once

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

struct CsvRecord {
  int line;
  std::vector<std::string> fields;
};

// Reads `in` to its end: a UTF-8 byte-order mark is skipped, blank lines
// give no record, and unquoted fields lose their surrounding spaces. Quoting
// that breaks the rules is reported with the line its record starts on, and
// reading goes on at the next line.
void ReadCsvRecords(
    std::istream &in, const std::function<void(const CsvRecord &)> &record,
    const std::function<void(int line, const std::string &reason)> &error);
