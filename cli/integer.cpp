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
