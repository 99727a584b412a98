// Which European languages write each accented Latin letter, so that a
// word whose letters no one language shares can be told for a misreading.
#pragma once

// One bit for each language of the host's European markets.
enum Language : unsigned long {
  kGerman = 1ul << 0,
  kFrench = 1ul << 1,
  kItalian = 1ul << 2,
  kSpanish = 1ul << 3,
  kPortuguese = 1ul << 4,
  kCatalan = 1ul << 5,
  kDutch = 1ul << 6,
  kSwedish = 1ul << 7,
  kDanish = 1ul << 8,
  kNorwegian = 1ul << 9,
  kFinnish = 1ul << 10,
  kIcelandic = 1ul << 11,
  kCzech = 1ul << 12,
  kSlovak = 1ul << 13,
  kPolish = 1ul << 14,
  kHungarian = 1ul << 15,
  kSlovene = 1ul << 16,
  kCroatian = 1ul << 17,
  kRomanian = 1ul << 18,
  kAlbanian = 1ul << 19,
  kTurkish = 1ul << 20,
  kLithuanian = 1ul << 21,
  kLatvian = 1ul << 22,
  kEstonian = 1ul << 23,
};
const int kLanguageCount = 24;
const unsigned long kEveryLanguage = (1ul << kLanguageCount) - 1;

// The languages whose alphabet holds the letter `code` (a code point, of
// either case): every one for an ASCII letter, none for a letter outside
// them all or a character that is not a letter. A word is plausible when
// the results for its letters share a bit.
unsigned long LetterLanguages(unsigned code);
