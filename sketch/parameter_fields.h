// Splitting the Draw parameter into its five "|"-separated fields.
#pragma once

#include <stdint.h>

enum { kFieldCount = 5, kFieldSize = 256, kMaxParameterLength = 255 };

// The lead bytes of a double-byte code page as Windows lists them
// (CPINFO.LeadByte): pairs of first and last byte of a range, ended by a
// pair of zeros. All zeros for a single-byte code page.
struct LeadByteRanges {
  uint8_t bytes[12];
};

bool IsLeadByte(const LeadByteRanges &lead, uint8_t byte);

// Splits the first `length` bytes of `parmin` (0 <= length <= 255) into the
// five fields, each stored byte for byte and zero-terminated. The text is
// read by characters of the code page whose lead bytes `lead` gives (none if
// null): a bar that is the second byte of a double-byte character belongs
// to it, and a lead byte with no second byte is dropped. Bytes after the
// fifth bar are dropped. A zero byte ends the text of its field, but later
// bars still start the next fields. Every field buffer is cleared first.
void SplitParameter(const char *parmin, int length,
                    char fields[kFieldCount][kFieldSize],
                    const LeadByteRanges *lead = nullptr);
