// Splitting the Draw parameter into its five "|"-separated fields.
#pragma once

enum { kFieldCount = 5, kFieldSize = 256, kMaxParameterLength = 255 };

// Splits the first `length` bytes of `parmin` (0 <= length <= 255) into the
// five fields, each stored byte for byte and zero-terminated. Bytes after the
// fifth bar are dropped. A zero byte ends the text of its field, but later
// bars still start the next fields. Every field buffer is cleared first.
void SplitParameter(const char *parmin, int length,
                    char fields[kFieldCount][kFieldSize]);
