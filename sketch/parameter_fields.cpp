#include "sketch/parameter_fields.h"

#include <string.h>

bool IsLeadByte(const LeadByteRanges &lead, uint8_t byte) {
  for (int i = 0; i + 1 < 12; i += 2) {
    if (lead.bytes[i] == 0 && lead.bytes[i + 1] == 0)
      break;
    if (byte >= lead.bytes[i] && byte <= lead.bytes[i + 1])
      return true;
  }
  return false;
}

void SplitParameter(const char *parmin, int length,
                    char fields[kFieldCount][kFieldSize],
                    const LeadByteRanges *lead) {
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
    if (lead != nullptr && IsLeadByte(*lead, static_cast<uint8_t>(c))) {
      // A whole character, whatever its second byte ("ポ" is 83 7C); a
      // lead byte cut off by the end or a zero would show as garbage.
      const bool whole = i + 1 < length && parmin[i + 1] != '\0';
      if (whole && !textEnded) {
        fields[pipectr][pos++] = c;
        fields[pipectr][pos++] = parmin[i + 1];
      }
      if (whole)
        ++i;
      continue;
    }
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
