#include "render/number_text.h"

#include <string.h>

#include <system_error>

#include <fast_float/fast_float.h>

// atof follows the process's C locale, which is shared by every module in
// the host process that uses the same runtime: another plug-in that sets a
// decimal-comma locale would make ".30" read as 0. fast_float reads the "C"
// form only, correctly rounded as atof is, and never looks at the locale.

static bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
static bool IsDigit(char c) { return c >= '0' && c <= '9'; }

double NumberFromText(const char *text) {
  if (text == NULL)
    return 0.0;
  const char *p = text;
  while (IsSpace(*p))
    ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') {
    negative = *p == '-';
    ++p;
  }
  // A second sign, "inf", "nan" or anything else that is not a decimal
  // number is no number at all.
  if (!IsDigit(*p) && !(*p == '.' && IsDigit(p[1])))
    return 0.0;
  double value = 0.0;
  fast_float::from_chars_result r =
      fast_float::from_chars(p, p + strlen(p), value);
  // Out of range still leaves the rounded value, as atof returns it.
  if (r.ec != std::errc() && r.ec != std::errc::result_out_of_range)
    return 0.0;
  // Negation is exact, so rounding the magnitude is rounding the value.
  return negative ? -value : value;
}
