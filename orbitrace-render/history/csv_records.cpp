#include "orbitrace-render/history/csv_records.h"

#include <csv.h>

#include <istream>

namespace {

struct Reader {
  const std::function<void(const CsvRecord &)> *record;
  CsvRecord current;
  int line = 0;               // the line being fed to the parser
  bool betweenRecords = true; // nothing of a record fed since the last one
};

void OnField(void *data, size_t size, void *closure) {
  Reader *r = static_cast<Reader *>(closure);
  // A record that begins after a lone CR on the same line.
  if (r->betweenRecords) {
    r->current.line = r->line;
    r->betweenRecords = false;
  }
  r->current.fields.emplace_back(static_cast<const char *>(data), size);
}

void OnRecordEnd(int, void *closure) {
  Reader *r = static_cast<Reader *>(closure);
  (*r->record)(r->current);
  r->current.fields.clear();
  r->betweenRecords = true;
}

bool IsBlank(const std::string &line) {
  return line.find_first_not_of(" \t\r\n") == std::string::npos;
}

} // namespace

void ReadCsvRecords(
    std::istream &in, const std::function<void(const CsvRecord &)> &record,
    const std::function<void(int line, const std::string &reason)> &error) {
  const unsigned char kOptions = CSV_STRICT | CSV_STRICT_FINI;
  csv_parser parser;
  csv_init(&parser, kOptions);
  Reader r;
  r.record = &record;
  // Fed a line at a time, so that every record's first line is known: the
  // parser itself counts no lines.
  std::string line;
  while (std::getline(in, line)) {
    ++r.line;
    if (r.line == 1 && line.compare(0, 3, "\xEF\xBB\xBF") == 0)
      line.erase(0, 3);
    if (!in.eof())
      line += '\n';
    if (r.betweenRecords && !IsBlank(line)) {
      r.current.line = r.line;
      r.betweenRecords = false;
    }
    if (csv_parse(&parser, line.data(), line.size(), OnField, OnRecordEnd,
                  &r) == line.size())
      continue;
    // Start again at the next line, without the broken record.
    std::string reason = "a quote out of place";
    if (r.current.line != r.line)
      reason += " on line " + std::to_string(r.line);
    error(r.current.line, reason + " (fields with commas, quotes or line "
                                   "breaks are quoted, quotes doubled)");
    csv_free(&parser);
    csv_init(&parser, kOptions);
    r.current.fields.clear();
    r.betweenRecords = true;
  }
  if (csv_fini(&parser, OnField, OnRecordEnd, &r) != 0)
    error(r.current.line,
          "a quoted field is not closed by the end of the file");
  csv_free(&parser);
}
