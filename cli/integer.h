// The whole numbers of both command lines: counts, sizes, IDs.
#pragma once

#include <string>

// `text` read as a decimal number from `lowest` to `highest` (white space
// before it and a sign are taken, as strtol takes them); false, with
// `value` untouched, when it is anything else.
bool ParseInteger(const std::string &text, long lowest, long highest,
                  long *value);
