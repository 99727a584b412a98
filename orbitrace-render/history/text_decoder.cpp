#include "orbitrace-render/history/text_decoder.h"

#include "orbitrace-render/history/letter_languages.h"

#include <string.h>

#include <algorithm>
#include <vector>

namespace {

const char kReplacement[] = "\xEF\xBF\xBD";

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

// The letters a code page's names are written in, beside ASCII's.
enum Script { kLatin, kCyrillic, kGreek };

// Cyrillic and Greek letters by case, U+0400 to U+04FF and U+0386 to
// U+03CE; anything else is other.
CharClass ClassOfScript(unsigned code, Script script) {
  if (script == kCyrillic && code >= 0x0400 && code <= 0x04FF) {
    if (code < 0x0430)
      return kUpper;
    if (code < 0x0460)
      return kLower;
    return code % 2 ? kLower : kUpper; // pairs from U+0460 on
  }
  if (script == kGreek && code >= 0x0386 && code <= 0x03CE && code != 0x0387 &&
      code != 0x038B && code != 0x038D && code != 0x03A2)
    return code == 0x0390 || code >= 0x03AC ? kLower : kUpper;
  return kOther;
}

// Latin letters by case; the Greek of the DOS code pages, the ligatures and
// the f with hook count as other characters, since names are not written
// with them.
CharClass ClassOf(unsigned code, Script script) {
  if (script != kLatin && code >= 0x80)
    return ClassOfScript(code, script);
  if ((code >= 'a' && code <= 'z') || (code >= 0xDF && code <= 0xFF))
    return code == 0xF7 ? kOther : kLower;
  if ((code >= 'A' && code <= 'Z') || (code >= 0xC0 && code <= 0xDE))
    return code == 0xD7 ? kOther : kUpper;
  // Latin Extended-A: capital and small in pairs, from U+0139 to U+0148
  // and from U+0179 the capital first at an odd code point.
  if (code < 0x0100 || code > 0x017F)
    return kOther;
  if (code == 0x0130 || code == 0x0178)
    return kUpper;
  if (code == 0x0131 || code == 0x0138 || code == 0x0149 || code == 0x017F)
    return kLower;
  const bool oddCapital = (code >= 0x0139 && code <= 0x0148) || code >= 0x0179;
  return (code % 2 == 1) == oddCapital ? kUpper : kLower;
}

// The code pages that the text decides between, in the order that wins a
// tie, with the letters of each. A Cyrillic or Greek reading has no Latin
// letter beside its own, which tells it from a Latin one. The Latin code
// pages of Central Europe, Turkey and the Baltic read most of their
// letters' bytes as letters where the Western one of their system does,
// so the letters alone cannot tell them from it: they stand against a
// reading whose letters fit worse than theirs, or one of their Western
// sister's that fits as well, and the languages of the words decide
// between them (see Decide).
const struct {
  TextEncoding encoding;
  Script script;
  TextEncoding sisterOf; // kDetect for a code page the guess may take
} kSingleByte[] = {
    {TextEncoding::kWindows1252, kLatin, TextEncoding::kDetect},
    {TextEncoding::kMacRoman, kLatin, TextEncoding::kDetect},
    {TextEncoding::kCp850, kLatin, TextEncoding::kDetect},
    {TextEncoding::kCp437, kLatin, TextEncoding::kDetect},
    {TextEncoding::kWindows1251, kCyrillic, TextEncoding::kDetect},
    {TextEncoding::kCp866, kCyrillic, TextEncoding::kDetect},
    {TextEncoding::kMacCyrillic, kCyrillic, TextEncoding::kDetect},
    {TextEncoding::kWindows1253, kGreek, TextEncoding::kDetect},
    {TextEncoding::kWindows1250, kLatin, TextEncoding::kWindows1252},
    {TextEncoding::kWindows1254, kLatin, TextEncoding::kWindows1252},
    {TextEncoding::kWindows1257, kLatin, TextEncoding::kWindows1252},
    {TextEncoding::kCp852, kLatin, TextEncoding::kCp850},
    {TextEncoding::kMacCentralEurope, kLatin, TextEncoding::kMacRoman}};
// Fewer letters in words than this that a sister reads otherwise leave
// its Western sister's reading unclear: a few names.
const long kSisterEvidence = 8;
// A reading whose words no language writes must have at least this many
// more of them than another before the other is taken for it.
const long kWordEvidence = 3;
enum { kSingleByteCount = sizeof kSingleByte / sizeof kSingleByte[0] };
// A word's bytes past this many are not looked at.
const size_t kWordBytes = 64;
// Not a letter, beside the bits of LetterLanguages.
const unsigned long kNotLetter = 1ul << 31;
// Punctuation between letters (see BetweenLetters): in a word it is
// neither letter nor sign, as an apostrophe or a hyphen.
const unsigned long kPunctuation = 1ul << 30;
// The index of the host's Windows ANSI code page in kSingleByte, and of the
// DOS code pages of Western Europe and of the United States.
enum { kHostPage = 0, kWesternDosPage = 2, kUsDosPage = 3 };
// The languages of Western Europe, whose DOS code page is CP850.
const unsigned long kWesternEurope =
    kGerman | kFrench | kItalian | kSpanish | kPortuguese | kCatalan | kDutch |
    kSwedish | kDanish | kNorwegian | kFinnish | kIcelandic;

// The bytes of a field that hold one word, for the message that shows it.
bool EndsWord(unsigned char b) {
  return b == ',' || b == ';' || b == '\t' || b == '"' || b == '\r' ||
         b == '\n' || b == '\v' || b == ' ';
}

CharClass ClassIn(int page, int byte) {
  if (byte < 0)
    return kOther;
  const unsigned code = SingleByteCode(kSingleByte[page].encoding, byte);
  return byte >= 0x80 && code == 0 ? kUndefined
                                   : ClassOf(code, kSingleByte[page].script);
}

bool IsLetter(CharClass c) { return c == kLower || c == kUpper; }

// The typographic punctuation that text puts between two letters: the
// curly apostrophes (O’Brien, and ‘ typed for one) and the dashes of a
// double name. The curly double quotes, the ellipsis and the euro sign are
// not written there, where DOS has the letters ô, ö, ä, é, à and Ç.
bool BetweenLetters(unsigned code) {
  return code == 0x2018 || code == 0x2019 || code == 0x2013 || code == 0x2014;
}

// The evidence of the letters in words, gathered a byte at a time: each
// byte over 127 next to a letter scores for a code page that reads it as a
// letter of the case its neighbours call for, and against one that reads
// it as anything else. Besides, the languages of whole words, a word being
// the letters, bytes over 127, apostrophes and hyphens between other
// bytes: in a Latin reading a word is implausible when its letters share
// no language, or a character that is no letter stands next to one.
struct WordEvidence {
  long score[kSingleByteCount] = {};
  long punctuated[kSingleByteCount] = {}; // of the score, as punctuation
  bool undefined[kSingleByteCount] = {};
  long inWord[128] = {}; // how often each byte stood in a word
  int before = -1, current = -1;
  std::string token, sample, anySample;
  bool tokenInWord = false, tokenHigh = false;
  // The languages of each byte over 127 in each Latin reading.
  unsigned long languages[kSingleByteCount][128] = {};
  std::string word;
  bool wordHigh = false;
  // How many words are implausible in the first reading but not in the
  // second.
  long implausible[kSingleByteCount][kSingleByteCount] = {};
  long implausibleWords[kSingleByteCount] = {}; // in each reading
  // In each reading, how many words with a letter beyond ASCII were
  // judged, and how many of them each language could write.
  long judged[kSingleByteCount] = {};
  long written[kSingleByteCount][kLanguageCount] = {};
  // The first word each byte stood in, as the token it was in, and which
  // token that was; the bytes of the token under way still without one.
  std::string wordOf[128];
  long wordAt[128] = {};
  long tokens = 0;
  std::string tokenBytes;

  WordEvidence() {
    for (int page = 0; page < kSingleByteCount; ++page)
      for (int byte = 0x80; byte < 0x100; ++byte)
        languages[page][byte - 0x80] =
            BetweenLetters(SingleByteCode(kSingleByte[page].encoding, byte))
                ? kPunctuation
            : IsLetter(ClassIn(page, byte))
                ? LetterLanguages(
                      SingleByteCode(kSingleByte[page].encoding, byte))
                : kNotLetter;
  }
};

bool IsWordByte(unsigned char b) {
  return b >= 0x80 || b == '\'' || b == '-' || (b >= 'a' && b <= 'z') ||
         (b >= 'A' && b <= 'Z');
}

// Counts the word just ended against each Latin reading it is implausible
// in, for each one it is plausible in.
void JudgeWord(WordEvidence *e) {
  const std::string &w = e->word;
  unsigned implausible = 0, plausible = 0;
  for (int page = 0; page < kSingleByteCount; ++page) {
    if (kSingleByte[page].script != kLatin)
      continue;
    auto languagesAt = [&](size_t i) {
      const unsigned char b = static_cast<unsigned char>(w[i]);
      return b < 0x80 ? LetterLanguages(b) : e->languages[page][b - 0x80];
    };
    auto letterAt = [&](size_t i) {
      return i < w.size() && languagesAt(i) != 0 &&
             !(languagesAt(i) & (kNotLetter | kPunctuation));
    };
    unsigned long shared = kEveryLanguage;
    bool letters = false, broken = false;
    for (size_t i = 0; i < w.size(); ++i) {
      if (static_cast<unsigned char>(w[i]) < 0x80)
        continue;
      const unsigned long l = languagesAt(i);
      if (l & kPunctuation)
        continue; // as an apostrophe or a hyphen
      if (l & kNotLetter) {
        broken = broken || (i > 0 && letterAt(i - 1)) || letterAt(i + 1);
      } else {
        letters = true;
        shared &= l;
      }
    }
    if (broken || (letters && shared == 0)) {
      implausible |= 1u << page;
      ++e->implausibleWords[page];
    } else if (letters)
      plausible |= 1u << page;
    if (broken || letters)
      ++e->judged[page];
    for (int language = 0; !broken && language < kLanguageCount; ++language)
      e->written[page][language] += letters && (shared >> language & 1);
  }
  for (int a = 0; a < kSingleByteCount; ++a)
    for (int b = 0; implausible >> a & 1 && b < kSingleByteCount; ++b)
      e->implausible[a][b] += plausible >> b & 1;
}

bool IsAsciiLetter(int byte) {
  return (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z');
}

// Whether a reading makes the byte a space: a no-break space or a soft
// hyphen may stand between any two letters, so such a byte beside ASCII
// tells nothing of the words, even where another reading makes it a
// letter. Between two bytes over 127 it counts as any other: there it is
// one of a word's letters (a and n in DOS Cyrillic).
bool SpaceInAnyReading(int byte) {
  for (int page = 0; page < kSingleByteCount; ++page) {
    const unsigned code = SingleByteCode(kSingleByte[page].encoding, byte);
    if (code == 0xA0 || code == 0xAD)
      return true;
  }
  return false;
}

// The DOS code pages, whose letters stand where Windows and the Mac have
// typographic punctuation.
bool IsDos(TextEncoding encoding) {
  return encoding == TextEncoding::kCp850 || encoding == TextEncoding::kCp437 ||
         encoding == TextEncoding::kCp852 || encoding == TextEncoding::kCp866;
}

void Weigh(WordEvidence *e, int next) {
  const int b = e->current;
  if (b < 0x80)
    return;
  const bool space =
      SpaceInAnyReading(b) && !(e->before >= 0x80 && next >= 0x80);
  bool scored = false, otherLetter = false;
  int fits[kSingleByteCount] = {}; // 1 or -1 where weighed
  bool punctuation[kSingleByteCount] = {};
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
    // A Cyrillic or Greek letter inside a Latin word is a misreading.
    const bool letter = IsLetter(c) && (wanted == kOther || wanted == c) &&
                        (kSingleByte[page].script == kLatin ||
                         (!IsAsciiLetter(e->before) && !IsAsciiLetter(next)));
    fits[page] = letter ? 1 : -1;
    punctuation[page] =
        BetweenLetters(SingleByteCode(kSingleByte[page].encoding, b)) &&
        IsLetter(p) && IsLetter(n);
    otherLetter = otherLetter || (letter && wanted == kLower &&
                                  !IsDos(kSingleByte[page].encoding));
  }
  // An apostrophe or a dash between two letters fits as well as a DOS
  // letter there (O’Brien, OÆBrien), and the tie is broken in Decide; not
  // as well as a Windows or Mac letter that fits where the word calls for
  // a small one (a Mac's "García" has í where Windows-1252 has ’).
  for (int page = 0; page < kSingleByteCount; ++page) {
    const bool read = punctuation[page] && !otherLetter;
    e->score[page] += read ? 1 : fits[page];
    e->punctuated[page] += read;
  }
  if (scored) {
    ++e->inWord[b - 0x80];
    e->tokenInWord = true;
    if (e->wordOf[b - 0x80].empty())
      e->tokenBytes += static_cast<char>(b);
  }
}

// The token under way ends: the samples for the message, and the first
// word of each byte that scored in it.
void EndToken(WordEvidence *e) {
  if (e->tokenInWord && e->sample.empty())
    e->sample = e->token;
  if (e->tokenHigh && e->anySample.empty())
    e->anySample = e->token;
  for (char b : e->tokenBytes) {
    const int i = static_cast<unsigned char>(b) - 0x80;
    if (e->wordOf[i].empty() && e->token.find(b) != std::string::npos) {
      e->wordOf[i] = e->token;
      e->wordAt[i] = e->tokens;
    }
  }
  ++e->tokens;
  e->tokenBytes.clear();
}

void Gather(WordEvidence *e, const unsigned char *data, size_t size) {
  for (size_t i = 0; i < size; ++i) {
    const unsigned char b = data[i];
    if (e->current >= 0)
      Weigh(e, b);
    e->before = e->current;
    e->current = b;
    if (EndsWord(b)) {
      EndToken(e);
      e->token.clear();
      e->tokenInWord = e->tokenHigh = false;
    } else if (e->token.size() < 40) {
      e->token += static_cast<char>(b);
      e->tokenHigh = e->tokenHigh || b >= 0x80;
    }
    if (!IsWordByte(b)) {
      if (e->wordHigh)
        JudgeWord(e);
      e->word.clear();
      e->wordHigh = false;
    } else if (e->word.size() < kWordBytes) {
      e->word += static_cast<char>(b);
      e->wordHigh = e->wordHigh || b >= 0x80;
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
    if (e.inWord[i] && SingleByteCode(kSingleByte[a].encoding, 0x80 + i) !=
                           SingleByteCode(kSingleByte[b].encoding, 0x80 + i))
      return false;
  return true;
}

// How many of the letters in words two code pages read differently.
long ReadOtherwise(const WordEvidence &e, int a, int b) {
  long n = 0;
  for (int i = 0; i < 128; ++i)
    if (SingleByteCode(kSingleByte[a].encoding, 0x80 + i) !=
        SingleByteCode(kSingleByte[b].encoding, 0x80 + i))
      n += e.inWord[i];
  return n;
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

// Whether `worse` words are clearly more than `better`.
bool ClearlyMore(long worse, long better) {
  return worse >= kWordEvidence && worse > 2 * better;
}

// How many of a reading's words its most common language could not write:
// an export holds mostly the names of one country.
long Foreign(const WordEvidence &e, int page) {
  long most = 0;
  for (long words : e.written[page])
    most = words > most ? words : most;
  return e.judged[page] - most;
}

// Whether reading `a` gives clearly fewer words that no language writes
// than reading `b`, or, where neither does, clearly fewer that the
// language of most words could not write.
bool MorePlausible(const WordEvidence &e, int a, int b) {
  if (ClearlyMore(e.implausible[a][b], e.implausible[b][a]))
    return false;
  return ClearlyMore(e.implausible[b][a], e.implausible[a][b]) ||
         ClearlyMore(Foreign(e, b), Foreign(e, a));
}

// The Latin reading whose letters fit the words best, or nearly (at least
// half as well as the best), when its words are clearly more plausible
// than those of every other reading that fits nearly as well, and its
// letters fit more than twice as well as those of any other; -1 when
// there is none. Any Latin code page may be taken so, even a Central
// European, Turkish or Baltic one.
int MostPlausible(const WordEvidence &e) {
  int top = -1;
  for (int page = 0; page < kSingleByteCount; ++page)
    if (!e.undefined[page] && (top < 0 || e.score[page] > e.score[top]))
      top = page;
  if (top < 0 || e.score[top] <= 0 || kSingleByte[top].script != kLatin)
    return -1;
  bool near[kSingleByteCount] = {};
  for (int page = 0; page < kSingleByteCount; ++page)
    near[page] = !e.undefined[page] && kSingleByte[page].script == kLatin &&
                 2 * e.score[page] >= e.score[top];
  for (int page = 0; page < kSingleByteCount; ++page) {
    bool wins = near[page];
    for (int other = 0; wins && other < kSingleByteCount; ++other) {
      if (other == page || e.undefined[other] || ReadAlike(e, other, page))
        continue;
      wins = near[other] ? MorePlausible(e, page, other)
                         : 2 * e.score[other] < e.score[page];
    }
    if (wins)
      return page;
  }
  return -1;
}

// Whether a reading stands for itself: defined, and no code page before it
// in kSingleByte reads every byte in words alike. Readings that give the
// same words are one, named by the first: Windows-1252 before a Mac or
// DOS code page, the Western ones before the others.
bool Stands(const WordEvidence &e, int page) {
  if (e.undefined[page])
    return false;
  for (int before = 0; before < page; ++before)
    if (!e.undefined[before] && ReadAlike(e, before, page))
      return false;
  return true;
}

// Whether reading `page`, whose words are all plausible, ties with every
// reading it does not clearly beat (by its letters, twice as many fitting,
// or by its words): none of those fits better, and each is Latin, since a
// Cyrillic or Greek reading that fits as well is another script, not
// another spelling. Those readings into `rivals`.
bool HoldsTie(const WordEvidence &e, int page, std::vector<int> *rivals) {
  rivals->clear();
  if (e.undefined[page] || e.score[page] <= 0 || e.implausibleWords[page] > 0)
    return false;
  for (int other = 0; other < kSingleByteCount; ++other) {
    if (other == page || !Stands(e, other) || ReadAlike(e, other, page))
      continue;
    if (2 * e.score[other] < e.score[page] || MorePlausible(e, page, other))
      continue;
    if (kSingleByte[other].script != kLatin || e.score[other] > e.score[page])
      return false;
    rivals->push_back(other);
  }
  return true;
}

// Whether the language that most of a reading's words could be written in
// is one of Western Europe.
bool WesternWords(const WordEvidence &e, int page) {
  int most = 0;
  for (int language = 1; language < kLanguageCount; ++language)
    if (e.written[page][language] > e.written[page][most])
      most = language;
  return e.written[page][most] > 0 && (kWesternEurope >> most & 1);
}

// The reading taken where Latin readings fit as well and their words are
// as plausible, -1 for none: the first that holds such a tie (see
// HoldsTie) when none of its rivals is left once a DOS reading drops out
// that has a letter where another reads an apostrophe or a dash between
// two letters (O’Brien, not OÆBrien); else Windows-1252, the host's own,
// with `rivals` the readings left beside it; else CP850 beside CP437 for
// words of Western Europe, since CP437 has signs where CP850 has their
// letters.
int BreakTie(const WordEvidence &e, std::vector<int> *rivals) {
  int page = 0;
  while (page < kSingleByteCount &&
         !(Stands(e, page) && HoldsTie(e, page, rivals)))
    ++page;
  if (page == kSingleByteCount)
    return -1;
  long most = e.punctuated[page];
  for (int rival : *rivals)
    most = std::max(most, e.punctuated[rival]);
  rivals->erase(std::remove_if(rivals->begin(), rivals->end(),
                               [&](int rival) {
                                 return IsDos(kSingleByte[rival].encoding) &&
                                        e.punctuated[rival] < most;
                               }),
                rivals->end());
  if (rivals->empty() || page == kHostPage)
    return page;
  if (page == kWesternDosPage && *rivals == std::vector<int>{kUsDosPage} &&
      WesternWords(e, page)) {
    rivals->clear();
    return page;
  }
  return -1;
}

// How many of the words that the rivals read otherwise than `page` are
// shown: enough for the clinic to see which code page it wrote.
const size_t kWordsShown = 3;

// The words that the rivals read otherwise than `page`, in the order the
// file has them, each as `page` reads it and as the rivals do:
// "Siobhán" as "Siobhįn" in windows-1257.
std::string WordsReadOtherwise(const WordEvidence &e, int page,
                               const std::vector<int> &rivals) {
  const TextEncoding own = kSingleByte[page].encoding;
  std::vector<int> bytes;
  for (int i = 0; i < 128; ++i)
    for (int rival : rivals)
      if (e.inWord[i] && !e.wordOf[i].empty() &&
          SingleByteCode(kSingleByte[rival].encoding, 0x80 + i) !=
              SingleByteCode(own, 0x80 + i)) {
        bytes.push_back(i);
        break;
      }
  std::stable_sort(bytes.begin(), bytes.end(),
                   [&](int a, int b) { return e.wordAt[a] < e.wordAt[b]; });
  std::vector<std::string> words;
  for (int i : bytes)
    if (std::find(words.begin(), words.end(), e.wordOf[i]) == words.end())
      words.push_back(e.wordOf[i]);
  std::string text;
  for (size_t w = 0; w < words.size() && w < kWordsShown; ++w) {
    const std::string mine = Reading(words[w], own);
    text += std::string(w ? ", " : "") + "\"" + mine + "\" as";
    std::vector<bool> shown(rivals.size());
    bool first = true;
    for (size_t r = 0; r < rivals.size(); ++r) {
      const std::string theirs =
          Reading(words[w], kSingleByte[rivals[r]].encoding);
      if (shown[r] || theirs == mine)
        continue;
      text += std::string(first ? " \"" : " or \"") + theirs + "\" in ";
      first = false;
      for (size_t other = r; other < rivals.size(); ++other)
        if (!shown[other] &&
            Reading(words[w], kSingleByte[rivals[other]].encoding) == theirs) {
          text += std::string(other == r ? "" : " or ") +
                  EncodingName(kSingleByte[rivals[other]].encoding);
          shown[other] = true;
        }
    }
  }
  if (words.size() > kWordsShown)
    text += " and " + std::to_string(words.size() - kWordsShown) +
            (words.size() - kWordsShown == 1 ? " more word" : " more words");
  return text;
}

// The code page the words call for, or false with a message that shows a
// word as each reading gives it: the most plausible Latin reading, else
// the best of the code pages a guess may take by its letters alone,
// measured against the Latin code pages that stand against it (see
// kSingleByte). Where Latin readings remain that fit as well, the host's
// Windows ANSI is taken among them, assumed, with `otherwise` the words
// the others read otherwise; CP850 before CP437 for Western words.
bool Decide(WordEvidence *e, TextEncoding *encoding, EncodingEvidence *evidence,
            std::string *error, std::string *otherwise) {
  Weigh(e, -1);
  EndToken(e);
  if (e->wordHigh)
    JudgeWord(e);
  if (NoLetterOutsideAscii(*e)) {
    for (int page = 0; page < kSingleByteCount; ++page)
      if (kSingleByte[page].encoding == TextEncoding::kWindows1252 &&
          !e->undefined[page]) {
        *encoding = kSingleByte[page].encoding;
        *evidence = EncodingEvidence::kAssumed;
        return true;
      }
  }
  int best = -1;
  for (int page = 0; page < kSingleByteCount; ++page)
    if (!e->undefined[page] &&
        kSingleByte[page].sisterOf == TextEncoding::kDetect &&
        (best < 0 || e->score[page] > e->score[best]))
      best = page;
  bool clear = best >= 0 && e->score[best] > 0;
  const int chosen = MostPlausible(*e);
  if (chosen >= 0) {
    *encoding = kSingleByte[chosen].encoding;
    return true;
  }
  for (int page = 0; clear && page < kSingleByteCount; ++page) {
    if (page == best || !Stands(*e, page) || ReadAlike(*e, page, best))
      continue;
    if (kSingleByte[page].sisterOf == TextEncoding::kDetect)
      clear = 2 * e->score[page] < e->score[best];
    else if (MorePlausible(*e, best, page))
      continue; // its words fit worse
    else if (e->score[page] > e->score[best])
      clear = false; // its letters fit better than those of any guess
    else if (kSingleByte[page].sisterOf == kSingleByte[best].encoding &&
             e->score[page] == e->score[best])
      clear = ReadOtherwise(*e, page, best) >= kSisterEvidence;
  }
  if (clear) {
    *encoding = kSingleByte[best].encoding;
    return true;
  }
  std::vector<int> rivals;
  const int tie = BreakTie(*e, &rivals);
  if (tie >= 0) {
    *encoding = kSingleByte[tie].encoding;
    if (!rivals.empty()) {
      *evidence = EncodingEvidence::kAssumedInTie;
      if (otherwise)
        *otherwise = WordsReadOtherwise(*e, tie, rivals);
    }
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
      const std::string reading = Reading(sample, kSingleByte[page].encoding);
      std::string names;
      for (int other = page; other < kSingleByteCount; ++other)
        if (!e->undefined[other] &&
            Reading(sample, kSingleByte[other].encoding) == reading) {
          shown[other] = true;
          names += std::string(names.empty() ? "" : " or ") +
                   EncodingName(kSingleByte[other].encoding);
        }
      *error += " \"" + reading + "\" in " + names + ",";
    }
    error->pop_back();
  }
  *error += ". Say which with --encoding (windows-1252 or ansi, macintosh "
            "or mac, cp850 or dos, cp437, windows-1250 to windows-1258, "
            "mac-centraleurope, mac-cyrillic, cp852, cp866)";
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

// UTF-8 with a few lines that are not: the lines told apart as the file is
// read for its character set, and decoded each in its own.

// Each line's bytes checked as UTF-8 one at a time, the first
// kLineBytesHeld of a line that is not kept for the guess of its code page.
struct LineTally {
  long utf8Lines = 0;      // lines with valid multi-byte UTF-8, and no byte not
  long otherLines = 0;     // lines with a byte that is not UTF-8
  WordEvidence otherWords; // the words of those other lines
  std::string line;
  Utf8Check check;   // the line's bytes over 127, as the whole file's are
  bool high = false; // whether it has any
};

void EndTallyLine(LineTally *t) {
  // A sequence cut by the line's end is no UTF-8 either.
  const bool invalid = t->high && (!t->check.valid || t->check.tailSize > 0);
  if (invalid) {
    ++t->otherLines;
    t->line += '\n';
    Gather(&t->otherWords,
           reinterpret_cast<const unsigned char *>(t->line.data()),
           t->line.size());
  } else if (t->high) {
    ++t->utf8Lines;
  }
  t->line.clear();
  t->check = Utf8Check();
  t->high = false;
}

// Keeps the start of a line, up to kLineBytesHeld of it.
void HoldLine(LineTally *t, const unsigned char *bytes, size_t size) {
  const size_t room =
      kLineBytesHeld - std::min<size_t>(t->line.size(), kLineBytesHeld);
  t->line.append(reinterpret_cast<const char *>(bytes), std::min(size, room));
}

// A line's part, checked as UTF-8 once it holds a byte over 127: a line of
// ASCII alone tells nothing.
void TallyPart(LineTally *t, const unsigned char *bytes, size_t size) {
  HoldLine(t, bytes, size);
  if (!t->high)
    for (size_t i = 0; i < size && !t->high; ++i)
      t->high = bytes[i] >= 0x80;
  if (t->high && t->check.valid)
    CheckUtf8(&t->check, bytes, size);
}

void TallyLines(LineTally *t, const unsigned char *data, size_t size) {
  size_t start = 0; // where the line being read begins in `data`
  for (size_t i = 0; i < size; ++i)
    if (data[i] == '\r' || data[i] == '\n') {
      TallyPart(t, data + start, i - start);
      EndTallyLine(t); // a CR LF's LF ends an empty line: no matter
      start = i + 1;
    }
  TallyPart(t, data + start, size - start);
}

// Whether the lines that are not UTF-8 are the few: when so, the code page
// their letters call for, or kDetect.
bool FewLinesNotUtf8(LineTally *t, TextEncoding *fallback) {
  EndTallyLine(t);
  if (t->otherLines == 0 || t->utf8Lines <= t->otherLines)
    return false;
  std::string unclear;
  EncodingEvidence how = EncodingEvidence::kLettersInWords;
  // A tie is no call for a code page here: there is no summary of the
  // lines' own to say it was assumed, so they stay unread and named.
  if (!Decide(&t->otherWords, fallback, &how, &unclear, nullptr) ||
      how == EncodingEvidence::kAssumedInTie)
    *fallback = TextEncoding::kDetect;
  return true;
}

// Where in[from, to) stops being valid UTF-8 (a sequence that `to` cuts
// counts as valid), and whether it is whole.
bool Utf8Run(const unsigned char *in, size_t from, size_t to, size_t *end) {
  size_t at = from;
  while (at < to) {
    const int n = ValidSequence(in, to, at);
    if (n <= 0) {
      *end = at;
      return n < 0;
    }
    at += static_cast<size_t>(n);
  }
  *end = at;
  return true;
}

// Part of a line, up to its end or not: as it is while the line is UTF-8,
// else in the fallback. Returns how far it got; a sequence cut by the end
// of a part that does not end the line waits for the next block.
size_t DecodeLinePart(TextDecoder *d, const std::string &input, size_t from,
                      size_t to, bool lineEnds, std::string *out) {
  const unsigned char *in =
      reinterpret_cast<const unsigned char *>(input.data());
  size_t end;
  const bool valid = Utf8Run(in, from, to, &end) && (end == to || !lineEnds);
  if (valid && !d->lineRecoded) {
    out->append(input, from, end - from);
    return end;
  }
  if (!d->lineRecoded)
    d->recoded.push_back(d->line);
  d->lineRecoded = true;
  if (d->fallback == TextEncoding::kDetect)
    DecodeUtf8(input.substr(from, to - from), true, out);
  else
    DecodeSingleByte(d->fallback, in + from, to - from, out);
  return to;
}

size_t DecodeLines(TextDecoder *d, const std::string &input, bool last,
                   std::string *out) {
  const size_t n = input.size();
  size_t at = 0;
  while (at < n) {
    const char c = input[at];
    if (c == '\r' || c == '\n') {
      *out += c;
      ++at;
      if (!(c == '\n' && d->afterCr)) {
        ++d->line;
        d->lineRecoded = false;
      }
      d->afterCr = c == '\r';
      continue;
    }
    d->afterCr = false;
    const size_t end = input.find_first_of("\r\n", at);
    if (end != std::string::npos || last) {
      at = DecodeLinePart(d, input, at, end == std::string::npos ? n : end,
                          true, out);
      continue;
    }
    if (n - at <= kLineBytesHeld)
      break; // the rest of the line comes in the next block
    const size_t got = DecodeLinePart(d, input, at, n, false, out);
    if (got == at)
      break;
    at = got;
  }
  return at;
}

} // namespace

bool DetectEncoding(const ByteSource &read, TextEncoding *encoding,
                    EncodingEvidence *evidence, std::string *error,
                    TextEncoding *fallback, std::string *otherwise) {
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
  LineTally lines;
  for (; got > 0; got = read(&block[0], kBlock)) {
    if (check.valid)
      CheckUtf8(&check, b, got);
    Gather(&words, b, got);
    if (fallback)
      TallyLines(&lines, b, got);
  }
  if (check.valid && check.tailSize == 0) {
    *encoding = TextEncoding::kUtf8;
    *evidence = EncodingEvidence::kValidUtf8;
    return true;
  }
  if (fallback && FewLinesNotUtf8(&lines, fallback)) {
    *encoding = TextEncoding::kUtf8;
    *evidence = EncodingEvidence::kMostlyUtf8;
    return true;
  }
  *evidence = EncodingEvidence::kLettersInWords;
  return Decide(&words, encoding, evidence, error, otherwise);
}

bool OpenDecoder(TextDecoder *decoder, TextEncoding encoding) {
  *decoder = TextDecoder();
  decoder->encoding = encoding;
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
  case TextEncoding::kUtf8:
  case TextEncoding::kDetect:
    at = decoder->linesApart ? DecodeLines(decoder, input, last, out)
                             : DecodeUtf8(input, last, out);
    break;
  default:
    at = DecodeSingleByte(decoder->encoding, in, n, out);
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

void CloseDecoder(TextDecoder *decoder) {
  decoder->pending.clear();
  decoder->recoded.clear();
}

void DecodeLinesApart(TextDecoder *decoder, TextEncoding fallback) {
  decoder->linesApart = decoder->encoding == TextEncoding::kUtf8;
  decoder->fallback = fallback;
  decoder->line = 1;
  decoder->afterCr = decoder->lineRecoded = false;
  decoder->recoded.clear();
}
