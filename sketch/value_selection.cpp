#include "sketch/value_selection.h"

static bool IsBlank(char c) { return c == ' ' || c == '\t'; }
static bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Hundredths beyond any item's, so that long texts cannot overflow.
static const long kTooLarge = 100000;

// The text's value in hundredths, if it reads as a decimal number.
static bool ReadHundredths(const char *text, long *hundredths) {
  const char *p = text;
  while (IsBlank(*p))
    ++p;
  bool negative = *p == '-';
  if (*p == '-' || *p == '+')
    ++p;
  long whole = 0;
  int digits = 0;
  for (; IsDigit(*p); ++p, ++digits)
    if (whole < kTooLarge)
      whole = whole * 10 + (*p - '0');
  long fraction = 0;
  if (*p == '.') {
    ++p;
    for (int place = 0; IsDigit(*p); ++p, ++place, ++digits) {
      if (place < 2)
        fraction += (*p - '0') * (place == 0 ? 10 : 1);
      else if (*p != '0')
        return false;
    }
  }
  while (IsBlank(*p))
    ++p;
  if (*p != '\0' || digits == 0)
    return false;
  long value = whole < kTooLarge ? whole * 100 + fraction : kTooLarge * 100;
  *hundredths = negative ? -value : value;
  return true;
}

static char Lower(char c) { return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c; }

static int StringLength(const char *text) {
  int n = 0;
  while (text[n] != '\0')
    ++n;
  return n;
}

static bool BeginsWith(const char *item, const char *text) {
  for (; *text != '\0'; ++item, ++text)
    if (Lower(*item) != Lower(*text))
      return false;
  return true;
}

static bool SameText(const char *item, const char *text) {
  return BeginsWith(item, text) && item[StringLength(text)] == '\0';
}

int NamedItem(const char *const *items, int count, const char *text) {
  long wanted, value;
  if (ReadHundredths(text, &wanted)) {
    for (int i = 0; i < count; ++i)
      if (ReadHundredths(items[i], &value) && value == wanted)
        return i;
    return -1;
  }
  for (int i = 0; i < count; ++i)
    if (SameText(items[i], text))
      return i;
  return -1;
}

int SelectedItem(const char *const *items, int count, const char *text) {
  const int named = NamedItem(items, count, text);
  if (named >= 0)
    return named;
  for (int i = 0; i < count; ++i)
    if (BeginsWith(items[i], text))
      return i;
  return 0;
}
