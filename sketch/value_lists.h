// The item texts of the four combo boxes.
#pragma once

enum { kRatioCount = 21, kRimCount = 40, kHourCount = 12 };

extern const char *const kRatioItems[kRatioCount]; // "1", ".95" ... "0"
extern const char *const kRimItems[kRimCount]; // ratio items, "-.05" ... "-.95"
extern const char *const kHourItems[kHourCount]; // "1" ... "12"
