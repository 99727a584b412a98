#include "orbitrace-render/history/csv_records.h"

#include <csv.h>

#include <istream>

namespace {

const unsigned char kOptions = CSV_STRICT | CSV_STRICT_FINI;

struct Reader {
  const std::function<void(const CsvRecord &)> *record;
  const std::function<void(int, const std::string &)> *error;
  csv_parser parser;
  char separator = 0;
  CsvRecord current;
  int line = 0;               // the line being fed to the parser
  bool betweenRecords = true; // nothing of a record fed since the last one
  size_t recordBytes = 0;     // fed of the current record before this line
  std::string text;           // the line being gathered, with its end
  bool tooLong = false;       // the record outgrew kMaxRecordBytes
  bool afterCr = false;       // an LF now ends no line
  bool stopped = false;       // the separator could not be told
};

void OnField(void *data, size_t size, void *closure) {
  Reader *r = static_cast<Reader *>(closure);
  r->current.fields.emplace_back(static_cast<const char *>(data), size);
  for (char &c : r->current.fields.back())
    if (c == '\v')
      c = '\n';
}

void OnRecordEnd(int, void *closure) {
  Reader *r = static_cast<Reader *>(closure);
  (*r->record)(r->current);
  r->current.fields.clear();
  r->betweenRecords = true;
  r->recordBytes = 0;
}

bool IsBlank(const std::string &line) {
  return line.find_first_not_of(" \t\r\n") == std::string::npos;
}

// The separator found most often outside quotes, or 0 for none or a tie.
char FindSeparator(const std::string &line) {
  int counts[3] = {};
  const char kSeparators[3] = {',', ';', '\t'};
  bool quoted = false;
  for (char c : line) {
    quoted = quoted != (c == '"');
    for (int i = 0; i < 3 && !quoted; ++i)
      counts[i] += c == kSeparators[i];
  }
  int best = 0;
  for (int i = 1; i < 3; ++i)
    if (counts[i] > counts[best])
      best = i;
  for (int i = 0; i < 3; ++i)
    if (i != best && counts[i] == counts[best])
      return 0;
  return kSeparators[best];
}

// Drops the record under way and starts the parser afresh.
void Restart(Reader *r) {
  csv_free(&r->parser);
  csv_init(&r->parser, kOptions);
  if (r->separator)
    csv_set_delim(&r->parser, static_cast<unsigned char>(r->separator));
  r->current.fields.clear();
  r->betweenRecords = true;
  r->recordBytes = 0;
}

// One whole line, with the CR or LF that ends it (none at the file's end).
void FeedLine(Reader *r, std::string *fatal) {
  std::string &line = r->text;
  if (r->line == 1 && line.compare(0, 3, "\xEF\xBB\xBF") == 0)
    line.erase(0, 3);
  if (r->betweenRecords && !r->tooLong && IsBlank(line))
    return;
  if (r->betweenRecords) {
    r->current.line = r->line;
    r->betweenRecords = false;
  }
  if (r->tooLong) {
    (*r->error)(
        r->current.line,
        "longer than " + std::to_string(kMaxRecordBytes / 1024) +
            " KiB (a field or an unclosed quote)" +
            (r->current.line != r->line
                 ? "; reading goes on after line " + std::to_string(r->line)
                 : std::string()));
    r->tooLong = false;
    Restart(r);
    return;
  }
  if (r->separator == 0) {
    r->separator = FindSeparator(line);
    if (r->separator == 0) {
      *fatal = "line " + std::to_string(r->line) +
               ": cannot tell the separator (no comma, semicolon or tab "
               "stands out outside quotes); say --separator comma, "
               "semicolon or tab";
      r->stopped = true;
      return;
    }
    csv_set_delim(&r->parser, static_cast<unsigned char>(r->separator));
  }
  if (csv_parse(&r->parser, line.data(), line.size(), OnField, OnRecordEnd,
                r) == line.size()) {
    if (!r->betweenRecords)
      r->recordBytes += line.size();
    return;
  }
  // Start again at the next line, without the broken record.
  std::string reason = "a quote out of place";
  if (r->current.line != r->line)
    reason += " on line " + std::to_string(r->line);
  (*r->error)(r->current.line,
              reason + " (fields with separators, quotes or line breaks are "
                       "quoted, quotes doubled)");
  Restart(r);
}

// Splits decoded text into lines, gathering at most what a record may
// take.
void FeedText(Reader *r, const char *data, size_t size, std::string *fatal) {
  size_t at = 0;
  if (r->afterCr && size > 0) {
    r->afterCr = false;
    if (data[0] == '\n') {
      // The LF of a CR LF: part of the line that ended, fed on its own so
      // that a quoted field keeps it.
      if (!r->betweenRecords && !r->tooLong &&
          csv_parse(&r->parser, "\n", 1, OnField, OnRecordEnd, r) == 1)
        ++r->recordBytes;
      at = 1;
    }
  }
  while (at < size && !r->stopped) {
    size_t end = at;
    while (end < size && data[end] != '\r' && data[end] != '\n')
      ++end;
    const bool ends = end < size;
    const size_t take = end - at + (ends ? 1 : 0);
    if (!r->tooLong) {
      if (r->recordBytes + r->text.size() + take > kMaxRecordBytes) {
        r->tooLong = true;
        r->text.clear();
      } else {
        r->text.append(data + at, take);
      }
    }
    at += take;
    if (!ends)
      break;
    ++r->line;
    FeedLine(r, fatal);
    r->text.clear();
    if (data[end] == '\r') {
      if (at < size) {
        if (data[at] == '\n') {
          if (!r->betweenRecords &&
              csv_parse(&r->parser, "\n", 1, OnField, OnRecordEnd, r) == 1)
            ++r->recordBytes;
          ++at;
        }
      } else {
        r->afterCr = true;
      }
    }
  }
}

} // namespace

bool ReadCsvRecords(
    const ByteSource &read, const CsvFormat &format,
    const std::function<void(const CsvRecord &)> &record,
    const std::function<void(int line, const std::string &reason)> &error,
    std::string *fatal, char *separator) {
  TextDecoder decoder;
  if (!OpenDecoder(&decoder, format.encoding)) {
    *fatal = "this system cannot convert the file's character set";
    return false;
  }
  Reader r;
  r.record = &record;
  r.error = &error;
  r.separator = format.separator;
  csv_init(&r.parser, kOptions);
  if (r.separator)
    csv_set_delim(&r.parser, static_cast<unsigned char>(r.separator));
  static const size_t kBlock = 1 << 16;
  std::string block(kBlock, '\0'), text;
  for (;;) {
    const size_t got = read(&block[0], kBlock);
    text.clear();
    Decode(&decoder, block.data(), got, got == 0, &text);
    FeedText(&r, text.data(), text.size(), fatal);
    if (got == 0 || r.stopped)
      break;
  }
  CloseDecoder(&decoder);
  if (!r.stopped && (!r.text.empty() || r.tooLong)) {
    ++r.line;
    FeedLine(&r, fatal); // the last line, without an end
  }
  if (!r.stopped && csv_fini(&r.parser, OnField, OnRecordEnd, &r) != 0)
    error(r.current.line,
          "a quoted field is not closed by the end of the file");
  csv_free(&r.parser);
  if (separator)
    *separator = r.separator;
  return !r.stopped;
}

ByteSource StreamSource(std::istream &in) {
  return [&in](char *buffer, size_t size) {
    in.read(buffer, static_cast<std::streamsize>(size));
    return static_cast<size_t>(in.gcount());
  };
}

std::string SeparatorName(char separator) {
  return separator == ';' ? "semicolon" : separator == '\t' ? "tab" : "comma";
}
