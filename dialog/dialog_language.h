// Which language the dialogs speak: the one the user sees Windows in, when
// the plug-in has its texts and the system's code page can show them. Where
// no call tells it (Windows 95, 98, NT 4.0), the system's own resources do:
// the user's and the system's default languages there are locales, the
// formats of dates and numbers, which the user may set to any language.
#pragma once

#include <stdint.h>

// Language IDs as Windows writes them: primary language in the low ten
// bits, sublanguage above.
const uint16_t kEnglishLanguage = 0x0409;

// What Windows tells about its languages, each read the way that Windows
// allows.
struct LanguageFacts {
  // GetUserDefaultUILanguage, which Windows 95, 98 and NT 4.0 lack.
  bool hasUiLanguage;
  uint16_t uiLanguage;
  // Where it is lacking: the language of the version resource of the
  // system's USER32, which is in the language of the Windows installed.
  bool hasSystemResourcesLanguage;
  uint16_t systemResourcesLanguage;
  // Only if neither is known: on Windows 95, 98 or ME (GetVersion's high
  // bit) the system's default language, which follows the Windows
  // installed there; on NT the user's default.
  bool isWindows9x;
  uint16_t systemLanguage; // GetSystemDefaultLangID
  uint16_t userLanguage;   // GetUserDefaultLangID
  uint32_t ansiCodePage;   // GetACP
};

// The plug-in's translations: the primary language each serves (every
// sublanguage), the language its resources carry, and the ANSI code page
// its texts are written for.
struct Translation {
  uint16_t primary;
  uint16_t language;
  uint32_t codePage;
};
extern const Translation kTranslations[];
extern const int kTranslationCount;

// The language of the texts to show: one of the plug-in's translations
// (German, French, Italian, Spanish, Dutch, Swedish, Japanese), or
// kEnglishLanguage for any other language and for one whose texts the ANSI
// code page cannot show.
uint16_t DialogLanguage(const LanguageFacts &facts);
