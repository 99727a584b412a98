// The records of a delimited text file, read with libcsv as a stream, each
// with the line it starts on as the file counts lines: a CR, an LF or a
// CR LF ends a line, also inside quotes.
#pragma once

#include "orbitrace-render/history/text_decoder.h"

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

struct CsvRecord {
  int line;
  std::vector<std::string> fields;
};

struct CsvFormat {
  TextEncoding encoding = TextEncoding::kUtf8; // not kDetect
  char separator = 0; // 0: from the first line that is not blank
};

// The most one record may take: more is a bad row, not a bigger buffer.
enum { kMaxRecordBytes = 64 * 1024 };

// Reads `read` to its end in `format`: a byte-order mark is skipped, blank
// lines give no record, unquoted fields lose their surrounding spaces, and
// a vertical tab in a field (a line break as some exports write it) becomes
// a line break. A record whose quoting breaks the rules or that is longer
// than kMaxRecordBytes is reported with the line it starts on, and reading
// goes on at the next line. Without a separator in `format`, the first line
// decides: the one of comma, semicolon and tab found most often outside
// quotes. False, with the reason in `error`, when it cannot be told. The
// separator used goes to `separator` when not null.
bool ReadCsvRecords(
    const ByteSource &read, const CsvFormat &format,
    const std::function<void(const CsvRecord &)> &record,
    const std::function<void(int line, const std::string &reason)> &error,
    std::string *fatal, char *separator = nullptr);

// The bytes of a stream, for ReadCsvRecords and DetectEncoding.
ByteSource StreamSource(std::istream &in);

// "comma", "semicolon" or "tab".
std::string SeparatorName(char separator);
