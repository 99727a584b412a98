#include "orbitrace-render/history/text_decoder.h"

#include <string.h>

namespace {

const char kReplacement[] = "\xEF\xBF\xBD";

// The upper halves of the single-byte code pages, by byte - 0x80: the code
// point, or 0 where the code page defines no character. The lower halves
// are ASCII.
const unsigned short kWindows1252[128] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6,
    0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018,
    0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161,
    0x203A, 0x0153, 0,      0x017E, 0x0178, 0x00A0, 0x00A1, 0x00A2, 0x00A3,
    0x00A4, 0x00A5, 0x00A6, 0x00A7, 0x00A8, 0x00A9, 0x00AA, 0x00AB, 0x00AC,
    0x00AD, 0x00AE, 0x00AF, 0x00B0, 0x00B1, 0x00B2, 0x00B3, 0x00B4, 0x00B5,
    0x00B6, 0x00B7, 0x00B8, 0x00B9, 0x00BA, 0x00BB, 0x00BC, 0x00BD, 0x00BE,
    0x00BF, 0x00C0, 0x00C1, 0x00C2, 0x00C3, 0x00C4, 0x00C5, 0x00C6, 0x00C7,
    0x00C8, 0x00C9, 0x00CA, 0x00CB, 0x00CC, 0x00CD, 0x00CE, 0x00CF, 0x00D0,
    0x00D1, 0x00D2, 0x00D3, 0x00D4, 0x00D5, 0x00D6, 0x00D7, 0x00D8, 0x00D9,
    0x00DA, 0x00DB, 0x00DC, 0x00DD, 0x00DE, 0x00DF, 0x00E0, 0x00E1, 0x00E2,
    0x00E3, 0x00E4, 0x00E5, 0x00E6, 0x00E7, 0x00E8, 0x00E9, 0x00EA, 0x00EB,
    0x00EC, 0x00ED, 0x00EE, 0x00EF, 0x00F0, 0x00F1, 0x00F2, 0x00F3, 0x00F4,
    0x00F5, 0x00F6, 0x00F7, 0x00F8, 0x00F9, 0x00FA, 0x00FB, 0x00FC, 0x00FD,
    0x00FE, 0x00FF,
};
const unsigned short kMacRoman[128] = {
    0x00C4, 0x00C5, 0x00C7, 0x00C9, 0x00D1, 0x00D6, 0x00DC, 0x00E1, 0x00E0,
    0x00E2, 0x00E4, 0x00E3, 0x00E5, 0x00E7, 0x00E9, 0x00E8, 0x00EA, 0x00EB,
    0x00ED, 0x00EC, 0x00EE, 0x00EF, 0x00F1, 0x00F3, 0x00F2, 0x00F4, 0x00F6,
    0x00F5, 0x00FA, 0x00F9, 0x00FB, 0x00FC, 0x2020, 0x00B0, 0x00A2, 0x00A3,
    0x00A7, 0x2022, 0x00B6, 0x00DF, 0x00AE, 0x00A9, 0x2122, 0x00B4, 0x00A8,
    0x2260, 0x00C6, 0x00D8, 0x221E, 0x00B1, 0x2264, 0x2265, 0x00A5, 0x00B5,
    0x2202, 0x2211, 0x220F, 0x03C0, 0x222B, 0x00AA, 0x00BA, 0x03A9, 0x00E6,
    0x00F8, 0x00BF, 0x00A1, 0x00AC, 0x221A, 0x0192, 0x2248, 0x2206, 0x00AB,
    0x00BB, 0x2026, 0x00A0, 0x00C0, 0x00C3, 0x00D5, 0x0152, 0x0153, 0x2013,
    0x2014, 0x201C, 0x201D, 0x2018, 0x2019, 0x00F7, 0x25CA, 0x00FF, 0x0178,
    0x2044, 0x20AC, 0x2039, 0x203A, 0xFB01, 0xFB02, 0x2021, 0x00B7, 0x201A,
    0x201E, 0x2030, 0x00C2, 0x00CA, 0x00C1, 0x00CB, 0x00C8, 0x00CD, 0x00CE,
    0x00CF, 0x00CC, 0x00D3, 0x00D4, 0xF8FF, 0x00D2, 0x00DA, 0x00DB, 0x00D9,
    0x0131, 0x02C6, 0x02DC, 0x00AF, 0x02D8, 0x02D9, 0x02DA, 0x00B8, 0x02DD,
    0x02DB, 0x02C7,
};
const unsigned short kCp850[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA,
    0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6,
    0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9, 0x00FF, 0x00D6, 0x00DC,
    0x00F8, 0x00A3, 0x00D8, 0x00D7, 0x0192, 0x00E1, 0x00ED, 0x00F3, 0x00FA,
    0x00F1, 0x00D1, 0x00AA, 0x00BA, 0x00BF, 0x00AE, 0x00AC, 0x00BD, 0x00BC,
    0x00A1, 0x00AB, 0x00BB, 0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x00C1,
    0x00C2, 0x00C0, 0x00A9, 0x2563, 0x2551, 0x2557, 0x255D, 0x00A2, 0x00A5,
    0x2510, 0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x00E3, 0x00C3,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x00A4, 0x00F0,
    0x00D0, 0x00CA, 0x00CB, 0x00C8, 0x0131, 0x00CD, 0x00CE, 0x00CF, 0x2518,
    0x250C, 0x2588, 0x2584, 0x00A6, 0x00CC, 0x2580, 0x00D3, 0x00DF, 0x00D4,
    0x00D2, 0x00F5, 0x00D5, 0x00B5, 0x00FE, 0x00DE, 0x00DA, 0x00DB, 0x00D9,
    0x00FD, 0x00DD, 0x00AF, 0x00B4, 0x00AD, 0x00B1, 0x2017, 0x00BE, 0x00B6,
    0x00A7, 0x00F7, 0x00B8, 0x00B0, 0x00A8, 0x00B7, 0x00B9, 0x00B3, 0x00B2,
    0x25A0, 0x00A0,
};
const unsigned short kCp437[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA,
    0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6,
    0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9, 0x00FF, 0x00D6, 0x00DC,
    0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192, 0x00E1, 0x00ED, 0x00F3, 0x00FA,
    0x00F1, 0x00D1, 0x00AA, 0x00BA, 0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC,
    0x00A1, 0x00AB, 0x00BB, 0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561,
    0x2562, 0x2556, 0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B,
    0x2510, 0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567, 0x2568,
    0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B, 0x256A, 0x2518,
    0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580, 0x03B1, 0x00DF, 0x0393,
    0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4, 0x03A6, 0x0398, 0x03A9, 0x03B4,
    0x221E, 0x03C6, 0x03B5, 0x2229, 0x2261, 0x00B1, 0x2265, 0x2264, 0x2320,
    0x2321, 0x00F7, 0x2248, 0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2,
    0x25A0, 0x00A0,
};

void AppendUtf8(unsigned code, std::string *out) {
  if (code < 0x80) {
    *out += static_cast<char>(code);
  } else if (code < 0x800) {
    *out += static_cast<char>(0xC0 | (code >> 6));
    *out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    *out += static_cast<char>(0xE0 | (code >> 12));
    *out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    *out += static_cast<char>(0xF0 | (code >> 18));
    *out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    *out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

// The length of the UTF-8 sequence `lead` begins, and the range its second
// byte must fall in (which rules out overlong forms, surrogates and code
// points past U+10FFFF); 0 for a byte that begins none.
int Utf8Length(unsigned char lead, unsigned char *low, unsigned char *high) {
  *low = 0x80;
  *high = 0xBF;
  if (lead < 0x80)
    return 1;
  if (lead >= 0xC2 && lead <= 0xDF)
    return 2;
  if (lead >= 0xE0 && lead <= 0xEF) {
    *low = lead == 0xE0 ? 0xA0 : 0x80;
    *high = lead == 0xED ? 0x9F : 0xBF;
    return 3;
  }
  if (lead >= 0xF0 && lead <= 0xF4) {
    *low = lead == 0xF0 ? 0x90 : 0x80;
    *high = lead == 0xF4 ? 0x8F : 0xBF;
    return 4;
  }
  return 0;
}

// How many bytes from `at` make one valid sequence: its length, 0 when the
// bytes there are not one, -1 when they may be but the text ends first.
int ValidSequence(const unsigned char *text, size_t size, size_t at) {
  unsigned char low, high;
  const int n = Utf8Length(text[at], &low, &high);
  for (int i = 1; i < n; ++i) {
    if (at + i >= size)
      return -1;
    const unsigned char b = text[at + i];
    if (b < (i == 1 ? low : 0x80) || b > (i == 1 ? high : 0xBF))
      return 0;
  }
  return n;
}

// Follows a UTF-8 stream across blocks.
struct Utf8Check {
  unsigned char tail[4];
  size_t tailSize = 0;
  bool valid = true;
};

void CheckUtf8(Utf8Check *c, const unsigned char *data, size_t size) {
  std::string text(reinterpret_cast<const char *>(c->tail), c->tailSize);
  text.append(reinterpret_cast<const char *>(data), size);
  const unsigned char *t = reinterpret_cast<const unsigned char *>(text.data());
  size_t at = 0;
  while (at < text.size() && c->valid) {
    const int n = ValidSequence(t, text.size(), at);
    if (n < 0)
      break;
    c->valid = n > 0;
    at += static_cast<size_t>(n);
  }
  c->tailSize = c->valid ? text.size() - at : 0;
  memcpy(c->tail, t + at, c->tailSize);
}

enum CharClass { kOther, kLower, kUpper, kUndefined };

// Latin letters by case; the Greek of the DOS code pages, the ligatures and
// the f with hook count as other characters, since names are not written
// with them.
CharClass ClassOf(unsigned code) {
  if ((code >= 'a' && code <= 'z') || (code >= 0xDF && code <= 0xFF))
    return code == 0xF7 ? kOther : kLower;
  if ((code >= 'A' && code <= 'Z') || (code >= 0xC0 && code <= 0xDE))
    return code == 0xD7 ? kOther : kUpper;
  switch (code) {
  case 0x0131: // dotless i
  case 0x0153: // oe
  case 0x0161: // s caron
  case 0x017E: // z caron
    return kLower;
  case 0x0152:
  case 0x0160:
  case 0x0178:
  case 0x017D:
    return kUpper;
  default:
    return kOther;
  }
}

// The code pages that the text decides between, in the order that wins a
// tie.
const TextEncoding kSingleByte[] = {TextEncoding::kWindows1252,
                                    TextEncoding::kMacRoman,
                                    TextEncoding::kCp850, TextEncoding::kCp437};
enum { kSingleByteCount = 4 };

// The bytes of a field that hold one word, for the message that shows it.
bool EndsWord(unsigned char b) {
  return b == ',' || b == ';' || b == '\t' || b == '"' || b == '\r' ||
         b == '\n' || b == '\v' || b == ' ';
}

// The evidence of the letters in words, gathered a byte at a time: each
// byte over 127 next to a letter scores for a code page that reads it as a
// letter of the case its neighbours call for, and against one that reads
// it as anything else.
struct WordEvidence {
  long score[kSingleByteCount] = {};
  bool undefined[kSingleByteCount] = {};
  bool inWord[128] = {}; // the bytes that stood in a word
  int before = -1, current = -1;
  std::string token, sample, anySample;
  bool tokenInWord = false, tokenHigh = false;
};

CharClass ClassIn(int page, int byte) {
  if (byte < 0)
    return kOther;
  const unsigned code = SingleByteCode(kSingleByte[page], byte);
  return byte >= 0x80 && code == 0 ? kUndefined : ClassOf(code);
}

bool IsLetter(CharClass c) { return c == kLower || c == kUpper; }

// Whether a reading makes the byte a space: a no-break space or a soft
// hyphen may stand between any two letters, so such a byte tells nothing
// of the words, even where another reading makes it a letter.
bool SpaceInAnyReading(int byte) {
  for (int page = 0; page < kSingleByteCount; ++page) {
    const unsigned code = SingleByteCode(kSingleByte[page], byte);
    if (code == 0xA0 || code == 0xAD)
      return true;
  }
  return false;
}

void Weigh(WordEvidence *e, int next) {
  const int b = e->current;
  if (b < 0x80)
    return;
  const bool space = SpaceInAnyReading(b);
  bool scored = false;
  for (int page = 0; page < kSingleByteCount; ++page) {
    const CharClass c = ClassIn(page, b);
    if (c == kUndefined) {
      e->undefined[page] = true;
      continue;
    }
    if (space)
      continue;
    const CharClass p = ClassIn(page, e->before), n = ClassIn(page, next);
    if (!IsLetter(p) && !IsLetter(n))
      continue;
    scored = true;
    // Within a word a letter after a small one, or before one, is small;
    // one between capitals is a capital.
    CharClass wanted = kOther;
    if (p == kLower || (IsLetter(p) && n == kLower))
      wanted = kLower;
    else if (p == kUpper && n == kUpper)
      wanted = kUpper;
    const bool fits = IsLetter(c) && (wanted == kOther || wanted == c);
    e->score[page] += fits ? 1 : -1;
  }
  if (scored) {
    e->inWord[b - 0x80] = true;
    e->tokenInWord = true;
  }
}

void Gather(WordEvidence *e, const unsigned char *data, size_t size) {
  for (size_t i = 0; i < size; ++i) {
    const unsigned char b = data[i];
    if (e->current >= 0)
      Weigh(e, b);
    e->before = e->current;
    e->current = b;
    if (EndsWord(b)) {
      if (e->tokenInWord && e->sample.empty())
        e->sample = e->token;
      if (e->tokenHigh && e->anySample.empty())
        e->anySample = e->token;
      e->token.clear();
      e->tokenInWord = e->tokenHigh = false;
    } else if (e->token.size() < 40) {
      e->token += static_cast<char>(b);
      e->tokenHigh = e->tokenHigh || b >= 0x80;
    }
  }
}

// Whether no byte over 127 stood in a word: then nothing tells the code
// page, and the Windows host's own is taken.
bool NoLetterOutsideAscii(const WordEvidence &e) {
  for (bool in : e.inWord)
    if (in)
      return false;
  return true;
}

// Whether two code pages read every byte that stood in a word alike.
bool ReadAlike(const WordEvidence &e, int a, int b) {
  for (int i = 0; i < 128; ++i)
    if (e.inWord[i] && SingleByteCode(kSingleByte[a], 0x80 + i) !=
                           SingleByteCode(kSingleByte[b], 0x80 + i))
      return false;
  return true;
}

std::string Reading(const std::string &bytes, TextEncoding encoding) {
  std::string out;
  for (char c : bytes) {
    const unsigned code =
        SingleByteCode(encoding, static_cast<unsigned char>(c));
    AppendUtf8(code < 0x20 ? ' ' : code == 0 ? 0xFFFD : code, &out);
  }
  return out;
}

// The code page the words call for, or false with a message that shows a
// word as each reading gives it.
bool Decide(WordEvidence *e, TextEncoding *encoding, EncodingEvidence *evidence,
            std::string *error) {
  Weigh(e, -1);
  if (e->tokenInWord && e->sample.empty())
    e->sample = e->token;
  if (e->tokenHigh && e->anySample.empty())
    e->anySample = e->token;
  if (NoLetterOutsideAscii(*e)) {
    for (int page = 0; page < kSingleByteCount; ++page)
      if (kSingleByte[page] == TextEncoding::kWindows1252 &&
          !e->undefined[page]) {
        *encoding = kSingleByte[page];
        *evidence = EncodingEvidence::kAssumed;
        return true;
      }
  }
  int best = -1;
  for (int page = 0; page < kSingleByteCount; ++page)
    if (!e->undefined[page] && (best < 0 || e->score[page] > e->score[best]))
      best = page;
  bool clear = best >= 0 && e->score[best] > 0;
  for (int page = 0; clear && page < kSingleByteCount; ++page)
    if (page != best && !e->undefined[page] && !ReadAlike(*e, page, best) &&
        2 * e->score[page] >= e->score[best])
      clear = false;
  if (clear) {
    *encoding = kSingleByte[best];
    return true;
  }
  const std::string &sample = e->sample.empty() ? e->anySample : e->sample;
  *error = "cannot tell the character set: the file is not UTF-8, and no "
           "reading of it puts clearly more letters inside words than the "
           "others";
  if (!sample.empty()) {
    *error += ". One word reads as";
    bool shown[kSingleByteCount] = {};
    for (int page = 0; page < kSingleByteCount; ++page) {
      if (shown[page] || e->undefined[page])
        continue;
      const std::string reading = Reading(sample, kSingleByte[page]);
      std::string names;
      for (int other = page; other < kSingleByteCount; ++other)
        if (!e->undefined[other] &&
            Reading(sample, kSingleByte[other]) == reading) {
          shown[other] = true;
          names += std::string(names.empty() ? "" : " or ") +
                   EncodingName(kSingleByte[other]);
        }
      *error += " \"" + reading + "\" in " + names + ",";
    }
    error->pop_back();
  }
  *error += ". Say which with --encoding (windows-1252 or ansi, macintosh "
            "or mac, cp850 or dos, cp437)";
  return false;
}

// Each decoder below appends what it can of in[0, n) and returns how far
// it got; the rest waits for the next block unless this one is the `last`.

size_t DecodeUtf16(const unsigned char *in, size_t n, bool le, bool last,
                   std::string *out) {
  auto unit = [&](size_t i) {
    return le ? in[i] | in[i + 1] << 8 : in[i] << 8 | in[i + 1];
  };
  size_t at = 0;
  while (at + 1 < n) {
    const unsigned u = unit(at);
    if (u >= 0xD800 && u <= 0xDBFF) {
      if (at + 3 >= n && !last)
        break; // the pair's second half comes in the next block
      const unsigned low = at + 3 < n ? unit(at + 2) : 0;
      if (low >= 0xDC00 && low <= 0xDFFF) {
        AppendUtf8(0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00), out);
        at += 4;
        continue;
      }
      *out += kReplacement;
    } else if (u >= 0xDC00 && u <= 0xDFFF) {
      *out += kReplacement;
    } else {
      AppendUtf8(u, out);
    }
    at += 2;
  }
  if (last && at < n) {
    *out += kReplacement; // an odd byte at the end
    at = n;
  }
  return at;
}

size_t DecodeSingleByte(TextEncoding encoding, const unsigned char *in,
                        size_t n, std::string *out) {
  for (size_t at = 0; at < n; ++at) {
    const unsigned code = SingleByteCode(encoding, in[at]);
    if (in[at] >= 0x80 && code == 0)
      *out += kReplacement;
    else
      AppendUtf8(code, out);
  }
  return n;
}

// Valid sequences pass, each byte of any other is U+FFFD.
size_t DecodeUtf8(const std::string &input, bool last, std::string *out) {
  const unsigned char *in =
      reinterpret_cast<const unsigned char *>(input.data());
  const size_t n = input.size();
  size_t at = 0;
  while (at < n) {
    const int length = ValidSequence(in, n, at);
    if (length < 0 && !last)
      break;
    if (length <= 0) {
      *out += kReplacement;
      ++at;
    } else {
      out->append(input, at, static_cast<size_t>(length));
      at += static_cast<size_t>(length);
    }
  }
  return at;
}

} // namespace

unsigned SingleByteCode(TextEncoding encoding, unsigned char byte) {
  if (byte < 0x80)
    return byte;
  switch (encoding) {
  case TextEncoding::kWindows1252:
    return kWindows1252[byte - 0x80];
  case TextEncoding::kMacRoman:
    return kMacRoman[byte - 0x80];
  case TextEncoding::kCp850:
    return kCp850[byte - 0x80];
  case TextEncoding::kCp437:
    return kCp437[byte - 0x80];
  default:
    return 0;
  }
}

bool DetectEncoding(const ByteSource &read, TextEncoding *encoding,
                    EncodingEvidence *evidence, std::string *error) {
  static const size_t kBlock = 1 << 16;
  std::string block(kBlock, '\0');
  size_t got = read(&block[0], kBlock);
  const unsigned char *b = reinterpret_cast<const unsigned char *>(&block[0]);
  *evidence = EncodingEvidence::kByteOrderMark;
  if (got >= 2 && b[0] == 0xFF && b[1] == 0xFE) {
    *encoding = TextEncoding::kUtf16Le;
    return true;
  }
  if (got >= 2 && b[0] == 0xFE && b[1] == 0xFF) {
    *encoding = TextEncoding::kUtf16Be;
    return true;
  }
  if (got >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF) {
    *encoding = TextEncoding::kUtf8;
    return true;
  }
  // Without a mark, UTF-16 shows itself by the zero bytes of its ASCII: in
  // every second byte, and (nearly) never in the others.
  size_t zeros[2] = {};
  for (size_t i = 0; i + 1 < got; ++i)
    zeros[i % 2] += b[i] == 0;
  const size_t pairs = got / 2;
  *evidence = EncodingEvidence::kZeroBytes;
  for (int odd = 0; odd < 2 && pairs >= 2; ++odd) {
    if (zeros[odd] * 4 >= pairs && zeros[1 - odd] * 16 <= pairs) {
      *encoding = odd ? TextEncoding::kUtf16Le : TextEncoding::kUtf16Be;
      return true;
    }
  }
  Utf8Check check;
  WordEvidence words;
  for (; got > 0; got = read(&block[0], kBlock)) {
    if (check.valid)
      CheckUtf8(&check, b, got);
    Gather(&words, b, got);
  }
  if (check.valid && check.tailSize == 0) {
    *encoding = TextEncoding::kUtf8;
    *evidence = EncodingEvidence::kValidUtf8;
    return true;
  }
  *evidence = EncodingEvidence::kLettersInWords;
  return Decide(&words, encoding, evidence, error);
}

bool OpenDecoder(TextDecoder *decoder, TextEncoding encoding) {
  decoder->encoding = encoding;
  decoder->pending.clear();
  return encoding != TextEncoding::kDetect;
}

void Decode(TextDecoder *decoder, const char *data, size_t size, bool last,
            std::string *out) {
  std::string input;
  input.swap(decoder->pending);
  input.append(data, size);
  const unsigned char *in =
      reinterpret_cast<const unsigned char *>(input.data());
  const size_t n = input.size();
  out->reserve(out->size() + n * 3 / 2);
  size_t at = 0;
  switch (decoder->encoding) {
  case TextEncoding::kUtf16Le:
  case TextEncoding::kUtf16Be:
    at = DecodeUtf16(in, n, decoder->encoding == TextEncoding::kUtf16Le, last,
                     out);
    break;
  case TextEncoding::kWindows1252:
  case TextEncoding::kMacRoman:
  case TextEncoding::kCp850:
  case TextEncoding::kCp437:
    at = DecodeSingleByte(decoder->encoding, in, n, out);
    break;
  default:
    at = DecodeUtf8(input, last, out);
  }
  decoder->pending.assign(input, at, std::string::npos);
}

size_t RawBytes(TextEncoding encoding, unsigned char lead) {
  unsigned char low, high;
  switch (encoding) {
  case TextEncoding::kUtf16Le:
  case TextEncoding::kUtf16Be:
    return lead >= 0xF0 ? 4 : 2;
  case TextEncoding::kUtf8:
  case TextEncoding::kDetect: {
    const int n = Utf8Length(lead, &low, &high);
    return n > 0 ? static_cast<size_t>(n) : 1;
  }
  default:
    return 1;
  }
}

void CloseDecoder(TextDecoder *decoder) { decoder->pending.clear(); }
