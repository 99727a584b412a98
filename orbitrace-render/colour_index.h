// A picture's pixels as indices into a palette of its own colours, packed
// for an indexed-colour PNG.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <vector>

struct IndexedRows {
  // 0xRRGGBB, in the order the colours first appear, row by row.
  std::vector<uint32_t> palette;
  // The fewest bits per pixel that hold the palette: 1, 2, 4 or 8.
  int bitDepth = 0;
  size_t rowBytes = 0;
  // One row after another, pixels from the high bits of each byte down, the
  // last byte of a row filled up with zero bits.
  std::vector<uint8_t> rows;
};

// `pixels` are 32-bit values whose low 24 bits are 0xRRGGBB; `stride`
// counts pixels from one row to the next. False when the picture has more
// than 256 colours, and `out` is then left unspecified.
bool IndexColours(const uint32_t *pixels, int width, int height, size_t stride,
                  IndexedRows *out);
