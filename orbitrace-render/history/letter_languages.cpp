#include "orbitrace-render/history/letter_languages.h"

namespace {

// The letters beyond ASCII in each alphabet, small ones only, as the
// languages' own spelling rules list them (common knowledge, kept strict:
// a letter only loanwords use is left out). Romanian keeps the cedilla
// forms of s and t that Windows' code pages wrote for its comma ones.
const struct {
  Language language;
  const char16_t *letters;
} kAlphabets[] = {
    {kGerman, u"\u00E4\u00F6\u00FC\u00DF"},
    {kFrench, u"\u00E0\u00E2\u00E6\u00E7\u00E9\u00E8\u00EA\u00EB\u00EE"
              u"\u00EF\u00F4\u0153\u00F9\u00FB\u00FC\u00FF"},
    {kItalian, u"\u00E0\u00E8\u00E9\u00EC\u00ED\u00EE\u00F2\u00F3\u00F9"
               u"\u00FA"},
    {kSpanish, u"\u00E1\u00E9\u00ED\u00F1\u00F3\u00FA\u00FC"},
    {kPortuguese, u"\u00E1\u00E2\u00E3\u00E0\u00E7\u00E9\u00EA\u00ED"
                  u"\u00F3\u00F4\u00F5\u00FA"},
    {kCatalan, u"\u00E0\u00E7\u00E9\u00E8\u00ED\u00EF\u00F2\u00F3\u00FA"
               u"\u00FC"},
    {kDutch, u"\u00E1\u00E4\u00E9\u00E8\u00EA\u00EB\u00ED\u00EF\u00F3"
             u"\u00F6\u00FA\u00FC"},
    {kSwedish, u"\u00E5\u00E4\u00F6\u00E9"},
    {kDanish, u"\u00E6\u00F8\u00E5\u00E9"},
    {kNorwegian, u"\u00E6\u00F8\u00E5\u00E9\u00E8\u00EA\u00F3\u00F2\u00F4"},
    {kFinnish, u"\u00E4\u00F6\u00E5\u0161\u017E"},
    {kIcelandic, u"\u00E1\u00E6\u00E9\u00ED\u00F0\u00F3\u00F6\u00FE\u00FA"
                 u"\u00FD"},
    {kCzech, u"\u00E1\u010D\u010F\u00E9\u011B\u00ED\u0148\u00F3\u0159"
             u"\u0161\u0165\u00FA\u016F\u00FD\u017E"},
    {kSlovak, u"\u00E1\u00E4\u010D\u010F\u00E9\u00ED\u013A\u013E\u0148"
              u"\u00F3\u00F4\u0155\u0161\u0165\u00FA\u00FD\u017E"},
    {kPolish, u"\u0105\u0107\u0119\u0142\u0144\u00F3\u015B\u017A\u017C"},
    {kHungarian, u"\u00E1\u00E9\u00ED\u00F3\u00F6\u0151\u00FA\u00FC\u0171"},
    {kSlovene, u"\u010D\u0161\u017E"},
    {kCroatian, u"\u010D\u0107\u0111\u0161\u017E"},
    {kRomanian, u"\u0103\u00E2\u00EE\u0219\u021B\u015F\u0163"},
    {kAlbanian, u"\u00E7\u00EB"},
    {kTurkish, u"\u00E7\u011F\u0131\u0130\u00F6\u015F\u00FC\u00E2\u00EE"
               u"\u00FB"},
    {kLithuanian, u"\u0105\u010D\u0119\u0117\u012F\u0161\u0173\u016B"
                  u"\u017E"},
    {kLatvian, u"\u0101\u010D\u0113\u0123\u012B\u0137\u013C\u0146\u0161"
               u"\u016B\u017E"},
    {kEstonian, u"\u00E4\u00F6\u00F5\u00FC\u0161\u017E"},
};

// The small letter of a capital; Turkish dotted capital I stays itself,
// since its small one is ASCII's.
unsigned Small(unsigned code) {
  if (code >= 0xC0 && code <= 0xDE && code != 0xD7)
    return code + 0x20;
  if (code == 0x0178)
    return 0xFF;
  // Latin Extended-A pairs the capital first at an even code point, but
  // at an odd one from U+0139 to U+0148 and from U+0179; the Romanian
  // letters with a comma below pair the same way.
  const bool oddCapital =
      (code >= 0x0139 && code <= 0x0148) || (code >= 0x0179 && code <= 0x017E);
  const bool paired = (code >= 0x0100 && code <= 0x017E && code != 0x0130 &&
                       code != 0x0131 && code != 0x0138 && code != 0x0149) ||
                      (code >= 0x0218 && code <= 0x021B);
  if (paired && (code % 2 == 1) == oddCapital)
    return code + 1;
  return code;
}

} // namespace

unsigned long LetterLanguages(unsigned code) {
  if ((code >= 'a' && code <= 'z') || (code >= 'A' && code <= 'Z'))
    return kEveryLanguage;
  if (code < 0x80)
    return 0;
  const unsigned small = Small(code);
  unsigned long languages = 0;
  for (const auto &alphabet : kAlphabets)
    for (const char16_t *c = alphabet.letters; *c; ++c)
      if (*c == small)
        languages |= alphabet.language;
  return languages;
}
