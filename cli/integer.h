// The whole numbers of both command lines: counts, sizes, IDs.
#pragma once

#include <string>

// `text` read as a decimal number from `lowest` to `highest` (white space
// before it and a sign are taken, as strtol takes them); false, with
// `value` untouched, when it is anything else.
bool ParseInteger(const std::string &text, long lowest, long highest,
                  long *value);

// A size in bytes: digits, then "k" or "M" (any case) for 1024 or 1048576
// of them; from 4096 bytes to 4 GiB. False, with `bytes` untouched, for
// anything else.
bool ParseByteSize(const std::string &text, unsigned long long *bytes);
