#include "sketch/parameter_fields.h"

#include <string.h>

void SplitParameter(const char *parmin, int length,
                    char fields[kFieldCount][kFieldSize]) {
  memset(fields, 0, sizeof(char) * kFieldCount * kFieldSize);
  if (parmin == NULL || length <= 0)
    return;
  // The caller has already refused longer texts; the cap keeps every field
  // inside its buffer even if one slips through.
  if (length > kMaxParameterLength)
    length = kMaxParameterLength;

  int pipectr = 0;
  int pos = 0;
  bool textEnded = false;
  for (int i = 0; i < length; ++i) {
    const char c = parmin[i];
    if (c == '|') {
      if (++pipectr == kFieldCount)
        break; // text after the fifth bar is ignored
      pos = 0;
      textEnded = false;
      continue;
    }
    // A zero byte ends this field's text; the buffer is already zero beyond
    // it, so the rest of the field is skipped until the next bar.
    if (c == '\0')
      textEnded = true;
    if (!textEnded)
      fields[pipectr][pos++] = c;
  }
}
