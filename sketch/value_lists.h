// The item texts of the four combo boxes and the rule that picks the
// opening selection from an incoming text.
#pragma once

enum { kRatioCount = 21, kRimCount = 40, kHourCount = 12 };

extern const char *const kRatioItems[kRatioCount]; // "1", ".95" ... "0"
extern const char *const kRimItems[kRimCount]; // ratio items, "-.05" ... "-.95"
extern const char *const kHourItems[kHourCount]; // "1" ... "12"

// What CB_FINDSTRING with a start of -1 answers: the index of the first item
// that begins with `text`, compared without regard to ASCII case, or -1.
int FindItemPrefix(const char *const *items, int count, const char *text);

// The opening selection: the item FindItemPrefix finds, else item 0.
int SelectionIndex(const char *const *items, int count, const char *text);
