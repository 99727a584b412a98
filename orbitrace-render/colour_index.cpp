#include "orbitrace-render/colour_index.h"

#include <string.h>

namespace {

const uint32_t kRgb = 0xFFFFFF;

// Packs each row of one index per byte, `width` bytes apart, into `Bits`
// bits per index, in place: a packed byte never lies beyond the bytes it
// is made from.
template <int Bits>
void Pack(uint8_t *rows, int width, int height, size_t rowBytes) {
  const int perByte = 8 / Bits;
  for (int y = 0; y < height; ++y) {
    const uint8_t *from = rows + static_cast<size_t>(y) * width;
    uint8_t *to = rows + y * rowBytes;
    int x = 0;
    for (; x + perByte <= width; x += perByte) {
      unsigned byte = 0;
      for (int i = 0; i < perByte; ++i)
        byte = (byte << Bits) | from[x + i];
      *to++ = static_cast<uint8_t>(byte);
    }
    if (x < width) {
      unsigned byte = 0;
      for (int i = 0; i < perByte; ++i)
        byte = (byte << Bits) | (x + i < width ? from[x + i] : 0);
      *to = static_cast<uint8_t>(byte);
    }
  }
}

} // namespace

bool IndexColours(const uint32_t *pixels, int width, int height, size_t stride,
                  IndexedRows *out) {
  std::vector<uint32_t> &palette = out->palette;
  palette.clear();
  // One index per byte first, since the bit depth depends on every colour.
  // Pictures run in long spans of one colour, so the palette is searched
  // once a span.
  out->rows.resize(static_cast<size_t>(width) * height);
  uint8_t *index = out->rows.data();
  for (int y = 0; y < height; ++y) {
    const uint32_t *row = pixels + y * stride;
    for (int x = 0; x < width;) {
      const uint32_t colour = row[x] & kRgb;
      size_t slot = 0;
      while (slot < palette.size() && palette[slot] != colour)
        ++slot;
      if (slot == palette.size()) {
        if (slot == 256)
          return false;
        palette.push_back(colour);
      }
      int end = x + 1;
      while (end < width && (row[end] & kRgb) == colour)
        ++end;
      memset(index, static_cast<int>(slot), end - x);
      index += end - x;
      x = end;
    }
  }

  const size_t n = palette.size();
  out->bitDepth = n <= 2 ? 1 : n <= 4 ? 2 : n <= 16 ? 4 : 8;
  out->rowBytes = (static_cast<size_t>(width) * out->bitDepth + 7) / 8;
  uint8_t *rows = out->rows.data();
  switch (out->bitDepth) {
  case 1:
    Pack<1>(rows, width, height, out->rowBytes);
    break;
  case 2:
    Pack<2>(rows, width, height, out->rowBytes);
    break;
  case 4:
    Pack<4>(rows, width, height, out->rowBytes);
    break;
  default:
    break;
  }
  out->rows.resize(out->rowBytes * height);
  return true;
}
