#include "export/dib_header.h"

#include <stddef.h>

// Header fields are little-endian and may sit at any address, so they are
// put together byte by byte.
static uint32_t ReadU32(const char *p) {
  const unsigned char *b = reinterpret_cast<const unsigned char *>(p);
  return static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) |
         (static_cast<uint32_t>(b[2]) << 16) |
         (static_cast<uint32_t>(b[3]) << 24);
}

static uint16_t ReadU16(const char *p) {
  const unsigned char *b = reinterpret_cast<const unsigned char *>(p);
  return static_cast<uint16_t>(b[0] | (b[1] << 8));
}

enum {
  kInfoBitCountOffset = 14, // biBitCount
  kInfoClrUsedOffset = 32,  // biClrUsed
  kCoreBitCountOffset = 10  // bcBitCount
};

uint16_t DibBitCount(uint16_t planes, uint16_t bitsPixel) {
  const uint16_t bits = static_cast<uint16_t>(planes * bitsPixel);
  if (bits <= 1)
    return 1;
  if (bits <= 4)
    return 4;
  if (bits <= 8)
    return 8;
  return 24;
}

uint32_t DibRowBytes(uint16_t bitCount, int32_t width) {
  return (bitCount * static_cast<uint32_t>(width) + 31) / 32 * 4;
}

uint32_t DibImageSize(uint16_t bitCount, int32_t width, int32_t height) {
  return DibRowBytes(bitCount, width) * static_cast<uint32_t>(height);
}

int32_t PaletteEntryCount(int planes, int bitsPixel) {
  const long long bits = static_cast<long long>(planes) * bitsPixel;
  if (bits <= 0)
    return 1; // 1 shifted by nothing
  if (bits >= 8)
    return 256;
  return static_cast<int32_t>(1) << bits;
}

static bool IsInfoHeader(const char *lpDIB) {
  return ReadU32(lpDIB) == kInfoHeaderSize;
}

uint16_t DIBNumColors(const char *lpDIB) {
  uint16_t bitCount;
  if (IsInfoHeader(lpDIB)) {
    const uint32_t clrUsed = ReadU32(lpDIB + kInfoClrUsedOffset);
    if (clrUsed != 0)
      return static_cast<uint16_t>(clrUsed);
    bitCount = ReadU16(lpDIB + kInfoBitCountOffset);
  } else {
    bitCount = ReadU16(lpDIB + kCoreBitCountOffset);
  }
  switch (bitCount) {
  case 1:
    return 2;
  case 4:
    return 16;
  case 8:
    return 256;
  default:
    return 0;
  }
}

uint16_t PaletteSize(const char *lpDIB) {
  // RGBQUAD entries after the 40-byte header, RGBTRIPLE after a core one.
  const unsigned entrySize = IsInfoHeader(lpDIB) ? 4 : 3;
  return static_cast<uint16_t>(DIBNumColors(lpDIB) * entrySize);
}

char *FindDIBBits(char *lpDIB) {
  return lpDIB + ReadU32(lpDIB) + PaletteSize(lpDIB);
}

bool LocateDIBBits(const char *block, size_t length, size_t *offset) {
  if (block == NULL || length < 4)
    return false;
  const uint32_t headerSize = ReadU32(block);
  if (headerSize < kCoreHeaderSize || headerSize > kMaxHeaderSize ||
      headerSize > length)
    return false;
  // Every field the readers use now lies inside the header, hence inside the
  // block: bcBitCount ends at byte 12, biClrUsed at byte 36.
  const size_t entrySize = headerSize == kInfoHeaderSize ? 4 : 3;
  const size_t table = DIBNumColors(block) * entrySize;
  // PaletteSize is 16 bits: a larger table (biClrUsed of 16384 or more)
  // wraps there, and FindDIBBits would put the rows inside the table.
  if (table > 0xFFFF)
    return false;
  const size_t end = static_cast<size_t>(headerSize) + table;
  if (end > length)
    return false;
  if (offset != NULL)
    *offset = end;
  return true;
}
