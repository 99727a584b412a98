#include "sketch/value_lists.h"

#include <stddef.h>

const char *const kRatioItems[kRatioCount] = {
    "1",   ".95", ".90", ".85", ".80", ".75", ".70", ".65", ".60", ".55", ".50",
    ".45", ".40", ".35", ".30", ".25", ".20", ".15", ".10", ".05", "0"};

const char *const kRimItems[kRimCount] = {
    "1",    ".95",  ".90",  ".85",  ".80",  ".75",  ".70",  ".65",
    ".60",  ".55",  ".50",  ".45",  ".40",  ".35",  ".30",  ".25",
    ".20",  ".15",  ".10",  ".05",  "0",    "-.05", "-.10", "-.15",
    "-.20", "-.25", "-.30", "-.35", "-.40", "-.45", "-.50", "-.55",
    "-.60", "-.65", "-.70", "-.75", "-.80", "-.85", "-.90", "-.95"};

const char *const kHourItems[kHourCount] = {"1", "2", "3", "4",  "5",  "6",
                                            "7", "8", "9", "10", "11", "12"};

static unsigned char AsciiLower(unsigned char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}

static bool BeginsWith(const char *item, const char *text) {
  for (; *text != '\0'; ++item, ++text) {
    if (*item == '\0' || AsciiLower(static_cast<unsigned char>(*item)) !=
                             AsciiLower(static_cast<unsigned char>(*text)))
      return false;
  }
  return true;
}

// An empty text begins every item, so it finds item 0 of a non-empty list,
// as the system's combo box answers a search for an empty string.
int FindItemPrefix(const char *const *items, int count, const char *text) {
  if (items == NULL)
    return -1;
  if (text == NULL)
    text = "";
  for (int i = 0; i < count; ++i) {
    if (items[i] != NULL && BeginsWith(items[i], text))
      return i;
  }
  return -1;
}

int SelectionIndex(const char *const *items, int count, const char *text) {
  const int found = FindItemPrefix(items, count, text);
  return found < 0 ? 0 : found;
}
