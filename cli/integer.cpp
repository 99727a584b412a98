#include "cli/integer.h"

#include <errno.h>
#include <stdlib.h>

bool ParseInteger(const std::string &text, long lowest, long highest,
                  long *value) {
  if (text.empty())
    return false;
  char *end = nullptr;
  errno = 0;
  const long n = strtol(text.c_str(), &end, 10);
  if (*end || errno || n < lowest || n > highest)
    return false;
  *value = n;
  return true;
}

bool ParseByteSize(const std::string &text, unsigned long long *bytes) {
  std::string digits = text;
  unsigned long long unit = 1;
  if (!digits.empty() && (digits.back() == 'k' || digits.back() == 'K'))
    unit = 1024;
  else if (!digits.empty() && (digits.back() == 'm' || digits.back() == 'M'))
    unit = 1024 * 1024;
  if (unit != 1)
    digits.pop_back();
  long n = 0;
  if (digits.empty() || digits[0] < '0' || digits[0] > '9' ||
      !ParseInteger(digits, 1, 4L << 20, &n))
    return false;
  const unsigned long long size = static_cast<unsigned long long>(n) * unit;
  if (size < 4096 || size > (4ull << 30))
    return false;
  *bytes = size;
  return true;
}
