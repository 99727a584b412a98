#include "dialog/string_block.h"

bool StringBlockEntry(const uint8_t *block, size_t size, unsigned index,
                      const uint8_t **text, size_t *units) {
  if (block == nullptr || index > 15)
    return false;
  size_t at = 0;
  for (unsigned i = 0;; ++i) {
    if (size - at < 2)
      return false;
    const size_t count = block[at] | (block[at + 1] << 8);
    at += 2;
    if (count > (size - at) / 2)
      return false;
    if (i == index) {
      *text = block + at;
      *units = count;
      return true;
    }
    at += count * 2;
  }
}
