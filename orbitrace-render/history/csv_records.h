// The records of a delimited text file, read as a stream, each with the
// lines it starts and ends on as the file counts lines: a CR, an LF or a
// CR LF ends a line, also inside quotes.
#pragma once

#include "orbitrace-render/history/text_decoder.h"

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

struct CsvRecord {
  int line;     // the line it starts on
  int lastLine; // the line it ends on; later only for a quoted line break
  std::vector<std::string> fields;
  // Per field: it ran past the record's limit and keeps only its start.
  std::vector<bool> cut;
  bool fieldsLeftOut = false; // more than kMaxFields fields
  // A line of it is not UTF-8 in a file read as UTF-8 lines apart, and was
  // read in the fallback code page.
  bool recoded = false;
};

struct CsvFormat {
  TextEncoding encoding = TextEncoding::kUtf8; // not kDetect
  char separator = 0;                          // 0: from the first lines
  // UTF-8 whose lines that are not are read in `fallback` (see
  // DecodeLinesApart); with kDetect a record with such a line is an error.
  bool linesApart = false;
  TextEncoding fallback = TextEncoding::kDetect;
};

// The limits of one record, counted in the file's own bytes (line end left
// out). Past kMaxRecordBytes the field being read keeps what it has and
// every later field its first kMaxFieldStart bytes, so that the columns
// after a long note are still read.
enum {
  kMaxRecordBytes = 64 * 1024,
  kMaxFieldStart = 1024,
  kMaxFields = 1024,
  kSeparatorLines = 16 // the lines the separator is found from
};

// How the file was read.
struct CsvLayout {
  char separator = 0;
  bool separatorFound = false; // from the file, not given
  int separatorLines = 0;      // how many lines showed it; 0 for sep=
  // What a spreadsheet's "sep=" first line names, 0 without one. The line
  // is no record; it names the separator unless one is given.
  char sepLine = 0;
  // A line break ends every record, quoted or not: in a tab-separated file
  // (which has no quoting) and in one whose lines end with a CR alone (the
  // host's comma-separated text, which writes a return in a field as a
  // vertical tab).
  bool lineEndsRecord = false;
};

// Reads `read` to its end in `format`: a byte-order mark is skipped, blank
// lines give no record, unquoted fields lose their surrounding blanks, and
// a vertical tab in a field (a line break as some exports write it)
// becomes a line break. Comma- and semicolon-separated fields may be
// quoted (RFC 4180); in a tab-separated file a quote is a character like
// any other. A record whose quoting breaks the rules is reported with the
// lines it spans, and reading goes on at the next line; so is a quote that
// a line break leaves open where line breaks end records, or that runs
// over line breaks past kMaxRecordBytes, and, in UTF-8 read lines apart
// without a fallback, a record with a line that is not UTF-8. A DOS
// end-of-file (0x1A) at the very end is no character of the file. Without
// a separator in `format`, a first line "sep=X" names it; else the first
// kSeparatorLines lines that are not blank decide: the one of comma,
// semicolon and tab that the most of them hold equally often (outside
// quotes). False, with the reason in `fatal`, when it cannot be told.
bool ReadCsvRecords(const ByteSource &read, const CsvFormat &format,
                    const std::function<void(const CsvRecord &)> &record,
                    const std::function<void(int line, int lastLine,
                                             const std::string &reason)> &error,
                    std::string *fatal, CsvLayout *layout = nullptr);

// The bytes of a stream, for ReadCsvRecords and DetectEncoding.
ByteSource StreamSource(std::istream &in);

// "comma", "semicolon" or "tab".
std::string SeparatorName(char separator);
