#include "dialog/dialog_language.h"

// Every sublanguage gets its primary language's texts: Swiss German,
// Belgian French, Mexican Spanish, Swedish in Finland.
const Translation kTranslations[] = {
    {0x07, 0x0407, 1252}, // German
    {0x0C, 0x040C, 1252}, // French
    {0x10, 0x0410, 1252}, // Italian
    {0x0A, 0x0C0A, 1252}, // Spanish
    {0x13, 0x0413, 1252}, // Dutch
    {0x1D, 0x041D, 1252}, // Swedish
    {0x11, 0x0411, 932},  // Japanese
};
const int kTranslationCount = sizeof kTranslations / sizeof kTranslations[0];

namespace {

uint16_t LanguageSeen(const LanguageFacts &facts) {
  if (facts.hasUiLanguage)
    return facts.uiLanguage;
  // A language-neutral resource tells nothing.
  if (facts.hasSystemResourcesLanguage &&
      (facts.systemResourcesLanguage & 0x3FF) != 0)
    return facts.systemResourcesLanguage;
  return facts.isWindows9x ? facts.systemLanguage : facts.userLanguage;
}

} // namespace

uint16_t DialogLanguage(const LanguageFacts &facts) {
  const uint16_t primary = LanguageSeen(facts) & 0x3FF;
  for (const Translation &t : kTranslations)
    if (t.primary == primary)
      return t.codePage == facts.ansiCodePage ? t.language : kEnglishLanguage;
  return kEnglishLanguage;
}
