#include "orbitrace-render/history/csv_records.h"

#include <algorithm>
#include <deque>
#include <string.h>
#include <strings.h>

#include <istream>

namespace {

enum State {
  kFieldStart, // before a field's first character; blanks are skipped
  kUnquoted,
  kQuoted,
  kQuoteSeen, // a quote inside quotes: doubled, or the closing one
  kClosed,    // after the closing quote: only blanks until the separator
  kBroken,    // the quoting broke: the rest of the line goes with it
};

struct Reader {
  const std::function<void(const CsvRecord &)> *record;
  const std::function<void(int, int, const std::string &)> *error;
  TextEncoding encoding;
  CsvLayout layout;
  bool quoting = true;
  int line = 1;           // the line being read
  bool afterCr = false;   // an LF now ends no line
  bool lineBegun = false; // a character of the line being read came
  bool started = false;   // past the byte-order mark
  bool inRecord = false;  // a record has begun
  std::string blanks;     // the blanks a line begins with, until it shows
                          // whether it is blank
  State state = kFieldStart;
  CsvRecord current;
  std::string field;
  bool quoted = false;           // the field being read was quoted
  bool fieldCut = false;         // the field stopped keeping characters
  bool fieldStartedOver = false; // it began past the record's limit
  bool keepChar = true;          // for the rest of a UTF-8 sequence
  size_t recordBytes = 0;        // the file's bytes of the record so far
  std::string brokenReason;      // why the quoting broke
  std::deque<int> recoded;       // lines the decoder found not UTF-8
  bool leaveOutRecoded = false;  // their records are errors
  TextEncoding fallback = TextEncoding::kDetect; // the code page they are in
  int lineLooked = 0;       // the line that lineRecoded is of
  bool lineRecoded = false; // it is one of `recoded`
  size_t dosEnds = 0; // 0x1A bytes held back until more of the file follows
};

// DOS marks the end of a text file with this byte, and some of its programs
// still write one after the last line.
const char kDosEnd = '\x1A';
const char kByteOrderMark[] = "\xEF\xBB\xBF";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

void BeginField(Reader *r) {
  r->field.clear();
  r->quoted = false;
  r->fieldCut = false;
  r->fieldStartedOver = r->recordBytes > kMaxRecordBytes;
  r->state = kFieldStart;
}

void BeginRecord(Reader *r) {
  r->inRecord = true;
  r->current.line = r->current.lastLine = r->line;
  r->current.fields.clear();
  r->current.cut.clear();
  r->current.fieldsLeftOut = false;
  r->recordBytes = 0;
  BeginField(r);
}

void EndField(Reader *r) {
  if (!r->quoted) {
    // Unquoted fields lose their trailing blanks (the separator aside).
    size_t end = r->field.size();
    while (end > 0 && IsBlank(r->field[end - 1]) &&
           r->field[end - 1] != r->layout.separator)
      --end;
    r->field.resize(end);
  }
  if (r->current.fields.size() < kMaxFields) {
    r->current.fields.push_back(r->field);
    r->current.cut.push_back(r->fieldCut);
  } else {
    r->current.fieldsLeftOut = true;
  }
  BeginField(r);
}

void Break(Reader *r, const std::string &reason) {
  r->state = kBroken;
  r->brokenReason = reason;
}

void EndRecord(Reader *r) {
  r->current.lastLine = r->line;
  r->inRecord = false;
  r->current.recoded = false;
  while (!r->recoded.empty() && r->recoded.front() <= r->line) {
    r->current.recoded =
        r->current.recoded || r->recoded.front() >= r->current.line;
    r->recoded.pop_front();
  }
  if (r->current.recoded && r->leaveOutRecoded && r->state != kBroken)
    Break(r, "not UTF-8, as the rest of the file is, and no code page "
             "reads its letters clearly; say --encoding to read the whole "
             "file in one character set");
  if (r->state == kBroken) {
    std::string reason = r->brokenReason;
    (*r->error)(r->current.line, r->line, reason);
  } else {
    EndField(r);
    (*r->record)(r->current);
  }
  r->state = kFieldStart;
}

// One byte of a field, kept while the record's limit allows.
void Keep(Reader *r, char c) {
  const unsigned char b = static_cast<unsigned char>(c);
  if ((b & 0xC0) != 0x80) {
    const size_t n = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
    r->keepChar =
        !r->fieldCut &&
        (r->recordBytes <= kMaxRecordBytes ||
         (r->fieldStartedOver && r->field.size() + n <= kMaxFieldStart));
    r->fieldCut = !r->keepChar;
  }
  if (r->keepChar)
    r->field += c == '\v' ? '\n' : c;
}

// One character of a record, line breaks aside.
void Take(Reader *r, char c) {
  const unsigned char b = static_cast<unsigned char>(c);
  if (r->lineLooked != r->line) {
    r->lineLooked = r->line;
    r->lineRecoded =
        std::binary_search(r->recoded.begin(), r->recoded.end(), r->line);
  }
  // A line read in the fallback took a byte for each character.
  if ((b & 0xC0) != 0x80)
    r->recordBytes += RawBytes(r->lineRecoded ? r->fallback : r->encoding, b);
  const char sep = r->layout.separator;
  switch (r->state) {
  case kFieldStart:
    if (c == sep)
      EndField(r);
    else if (IsBlank(c))
      ;
    else if (c == '"' && r->quoting) {
      r->quoted = true;
      r->state = kQuoted;
    } else {
      r->state = kUnquoted;
      Keep(r, c);
    }
    break;
  case kUnquoted:
    if (c == sep)
      EndField(r);
    else if (c == '"' && r->quoting)
      Break(r, "a quote out of place");
    else
      Keep(r, c);
    break;
  case kQuoted:
    if (c == '"')
      r->state = kQuoteSeen;
    else
      Keep(r, c);
    break;
  case kQuoteSeen:
    if (c == '"') {
      Keep(r, c);
      r->state = kQuoted;
    } else if (c == sep) {
      EndField(r);
    } else if (IsBlank(c)) {
      r->state = kClosed;
    } else {
      Break(r, "a quote out of place");
    }
    break;
  case kClosed:
    if (c == sep)
      EndField(r);
    else if (!IsBlank(c))
      Break(r, "a quote out of place");
    break;
  case kBroken:
    break;
  }
}

const char kQuotingRule[] =
    " (fields with separators, quotes or line breaks are quoted, quotes "
    "doubled)";

// A line ends with `end` ("\r" or "\n"; the LF of a CR LF comes on its own).
void EndLine(Reader *r, char end) {
  if (!r->inRecord) {
    r->blanks.clear(); // a blank line
  } else if (r->state == kQuoted && r->layout.lineEndsRecord) {
    Break(r, "a quote left open at the end of the line (in this file a line "
             "break ends a row)");
    EndRecord(r);
  } else if (r->state == kQuoted &&
             (r->fieldCut || r->recordBytes + 1 > kMaxRecordBytes)) {
    Break(r, "a quote left open: longer than " +
                 std::to_string(kMaxRecordBytes / 1024) +
                 " KiB inside quotes; reading goes on at the next line");
    EndRecord(r);
  } else if (r->state == kQuoted) {
    Take(r, end); // a line break inside quotes: the record goes on
  } else {
    if (r->state == kBroken)
      r->brokenReason +=
          (r->current.line != r->line ? " on line " + std::to_string(r->line)
                                      : std::string()) +
          kQuotingRule;
    EndRecord(r);
  }
  ++r->line;
}

// One character of the file.
void FeedChar(Reader *r, char c) {
  if (r->afterCr) {
    r->afterCr = false;
    if (c == '\n') {
      if (r->inRecord && r->state == kQuoted)
        Take(r, c); // a quoted field keeps its CR LF whole
      return;
    }
  }
  if (c == '\r' || c == '\n') {
    r->afterCr = c == '\r';
    r->lineBegun = false;
    EndLine(r, c);
    return;
  }
  r->lineBegun = true;
  if (!r->inRecord) {
    // Whether the line is blank shows at its first other character.
    if (IsBlank(c) && r->blanks.size() < kMaxFieldStart) {
      r->blanks += c;
      return;
    }
    BeginRecord(r);
    std::string blanks;
    blanks.swap(r->blanks);
    for (char b : blanks)
      Take(r, b);
  }
  Take(r, c);
}

void Feed(Reader *r, const char *data, size_t size) {
  for (size_t i = 0; i < size; ++i) {
    const char c = data[i];
    if (!r->started) {
      // A byte-order mark, of whatever character set, is U+FEFF by now.
      r->started = true;
      if (size - i >= 3 && memcmp(data + i, kByteOrderMark, 3) == 0) {
        i += 2;
        continue;
      }
    }
    // A DOS end-of-file is one only where nothing follows it.
    if (c == kDosEnd) {
      ++r->dosEnds;
      continue;
    }
    for (; r->dosEnds > 0; --r->dosEnds)
      FeedChar(r, kDosEnd);
    FeedChar(r, c);
  }
}

// The count of `separator` on each of `lines`, outside quotes unless the
// separator is a tab: the count most lines agree on, and how many do.
void Agreement(const std::vector<std::string> &lines, char separator,
               int *count, int *agree) {
  std::vector<int> counts;
  for (const std::string &line : lines) {
    int n = 0;
    bool quoted = false;
    for (char c : line) {
      quoted = separator != '\t' && quoted != (c == '"');
      n += !quoted && c == separator;
    }
    counts.push_back(n);
  }
  *count = *agree = 0;
  for (int n : counts) {
    int same = 0;
    for (int m : counts)
      same += m == n;
    if (n > 0 && (same > *agree || (same == *agree && n > *count))) {
      *count = n;
      *agree = same;
    }
  }
}

const char kNotShown[] = " \t\x1A"; // what a blank line may hold

// Settles the separator and how lines end from the first lines of `text`,
// or returns false with the reason.
bool Settle(Reader *r, const std::string &text, std::string *fatal) {
  std::vector<std::string> lines;
  int crAlone = 0, lf = 0;
  std::string line;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c != '\r' && c != '\n') {
      line += c;
      continue;
    }
    if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
      ++i;
    (c == '\r' && text[i] == '\r' ? crAlone : lf) += 1;
    if (line.find_first_not_of(kNotShown) != std::string::npos)
      lines.push_back(line);
    line.clear();
  }
  if (line.find_first_not_of(kNotShown) != std::string::npos)
    lines.push_back(line);
  if (lines.size() > kSeparatorLines)
    lines.resize(kSeparatorLines);
  if (r->layout.separator == 0 && !lines.empty()) {
    const char kSeparators[3] = {',', ';', '\t'};
    int count[3], agree[3], best = 0;
    for (int i = 0; i < 3; ++i) {
      Agreement(lines, kSeparators[i], &count[i], &agree[i]);
      if (agree[i] > agree[best] ||
          (agree[i] == agree[best] && count[i] > count[best]))
        best = i;
    }
    for (int i = 0; i < 3; ++i) {
      if (agree[best] == 0 ||
          (i != best && agree[i] == agree[best] && count[i] == count[best])) {
        *fatal = "cannot tell the separator (no comma, semicolon or tab "
                 "stands out outside quotes in the first lines); say "
                 "--separator comma, semicolon or tab";
        return false;
      }
    }
    r->layout.separator = kSeparators[best];
    r->layout.separatorFound = true;
    r->layout.separatorLines = static_cast<int>(lines.size());
  }
  r->quoting = r->layout.separator != '\t';
  r->layout.lineEndsRecord = !r->quoting || (crAlone > 0 && lf == 0);
  return true;
}

// Whether `text` holds the lines the separator is found from.
bool EnoughLines(const std::string &text) {
  if (text.size() >= kSeparatorLines * kMaxRecordBytes)
    return true;
  int lines = 0;
  bool blank = true;
  for (char c : text) {
    if (c == '\r' || c == '\n') {
      lines += !blank;
      blank = true;
    } else if (!IsBlank(c)) {
      blank = false;
    }
  }
  return lines > kSeparatorLines;
}

// The length of a spreadsheet's "sep=X" line at `at` with its line end,
// and the X it names; 0 when the text goes on otherwise.
size_t SepLine(const std::string &text, size_t at, char *named) {
  const size_t end = at + 5;
  if (text.size() < end || strncasecmp(text.c_str() + at, "sep=", 4) != 0 ||
      text[end - 1] == '\r' || text[end - 1] == '\n')
    return 0;
  *named = text[end - 1];
  if (text.size() == end)
    return 5;
  if (text.compare(end, 2, "\r\n") == 0)
    return 7;
  return text[end] == '\r' || text[end] == '\n' ? 6 : 0;
}

// Takes a "sep=" first line out of `text`, the separator from it unless
// one is given; false, with the reason, when it names none that is read.
bool TakeSepLine(Reader *r, std::string *text, std::string *fatal) {
  const size_t at = text->compare(0, 3, kByteOrderMark) == 0 ? 3 : 0;
  char named = 0;
  const size_t length = SepLine(*text, at, &named);
  if (length == 0)
    return true;
  text->erase(at, length);
  r->line = 2;
  r->layout.sepLine = named;
  if (r->layout.separator != 0)
    return true;
  if (named != ',' && named != ';' && named != '\t') {
    *fatal = std::string("line 1: \"sep=") + named +
             "\" names a separator other than comma, semicolon or tab, the "
             "ones read; export the file with one of those";
    return false;
  }
  r->layout.separator = named;
  r->layout.separatorFound = true;
  return true;
}

} // namespace

bool ReadCsvRecords(
    const ByteSource &read, const CsvFormat &format,
    const std::function<void(const CsvRecord &)> &record,
    const std::function<void(int, int, const std::string &)> &error,
    std::string *fatal, CsvLayout *layout) {
  TextDecoder decoder;
  if (!OpenDecoder(&decoder, format.encoding)) {
    *fatal = "no character set to read the file in";
    return false;
  }
  static_assert(int{kLineBytesHeld} >= int{kMaxRecordBytes},
                "a line is decided on at least a record's bytes");
  if (format.linesApart)
    DecodeLinesApart(&decoder, format.fallback);
  Reader r;
  r.leaveOutRecoded =
      format.linesApart && format.fallback == TextEncoding::kDetect;
  r.fallback = format.fallback;
  r.record = &record;
  r.error = &error;
  r.encoding = format.encoding;
  r.layout.separator = format.separator;
  static const size_t kBlock = 1 << 16;
  std::string block(kBlock, '\0'), text, sample;
  bool settled = false, ok = true;
  for (;;) {
    const size_t got = read(&block[0], kBlock);
    text.clear();
    Decode(&decoder, block.data(), got, got == 0, &text);
    r.recoded.insert(r.recoded.end(), decoder.recoded.begin(),
                     decoder.recoded.end());
    decoder.recoded.clear();
    if (!settled) {
      // The first lines wait until the separator is known.
      sample += text;
      if (got > 0 && !EnoughLines(sample))
        continue;
      settled = true;
      ok = TakeSepLine(&r, &sample, fatal) && Settle(&r, sample, fatal);
      if (!ok)
        break;
      if (layout)
        *layout = r.layout; // known to the records from the first one
      text.swap(sample);
      sample.clear();
    }
    Feed(&r, text.data(), text.size());
    if (got == 0)
      break;
  }
  CloseDecoder(&decoder);
  if (ok && r.inRecord) {
    // The last line, without an end; or, inside quotes, the line before.
    if (!r.lineBegun)
      --r.line;
    if (r.state == kQuoted)
      Break(&r, "a quoted field is not closed by the end of the file");
    else if (r.state == kBroken)
      r.brokenReason += kQuotingRule;
    EndRecord(&r);
  }
  if (layout)
    *layout = r.layout;
  return ok;
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
