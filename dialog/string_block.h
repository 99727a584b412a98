// Reading one string of a string-table resource block, so that a string
// can be taken in a language chosen by the plug-in rather than the loader.
#pragma once

#include <stddef.h>
#include <stdint.h>

// String n of a table lives in block n / 16 + 1, as entry n % 16.
inline unsigned StringBlockId(unsigned id) { return id / 16 + 1; }

// Entry `index` (0 to 15) of a block of `size` bytes: 16 counted UTF-16
// strings, little-endian. On success `*text` points at its first code unit
// and `*units` holds how many there are (0 for an absent string); false if
// the block ends before the entry does.
bool StringBlockEntry(const uint8_t *block, size_t size, unsigned index,
                      const uint8_t **text, size_t *units);
