// Arithmetic of packed device-independent bitmaps: what the header says and
// how large each part of the block is. No platform calls.
#pragma once

#include <stddef.h>
#include <stdint.h>

enum {
  kInfoHeaderSize = 40,
  kCoreHeaderSize = 12,
  // The largest header the platform defines; a larger claimed size is taken
  // as garbage rather than as an unknown header.
  kMaxHeaderSize = 124
};

// Bit count of a DIB made from a bitmap with these planes and bits per pixel
// (product taken as 16 bits): 1, 4, 8 or 24.
uint16_t DibBitCount(uint16_t planes, uint16_t bitsPixel);

// Bytes in one pixel row, rounded up to a multiple of 4 (unsigned 32-bit).
uint32_t DibRowBytes(uint16_t bitCount, int32_t width);

// Bytes of all rows: DibRowBytes * height (unsigned 32-bit).
uint32_t DibImageSize(uint16_t bitCount, int32_t width, int32_t height);

// Colour count of a device with planes x bitsPixel bits: 2, 16 and 256 for
// 1, 4 and 8 bits; deeper displays are capped at 256, since the palette
// plays no part in their conversions.
int32_t PaletteEntryCount(int planes, int bitsPixel);

// Readers of a locked block that starts with a 40-byte or a core header. They
// trust the header and know nothing of the block's length, so they are only
// for blocks this program made itself; use LocateDIBBits on any other block.
uint16_t DIBNumColors(const char *lpDIB);
uint16_t PaletteSize(const char *lpDIB);
char *FindDIBBits(char *lpDIB);

// Checked reader for a block of `length` bytes that may come from anywhere
// (the clipboard, a file). The header is read as the readers above read it: a
// first 32-bit value of 40 is a 40-byte header, any other value a core header
// that occupies that many bytes. The block is refused when that value is
// below 12 or above kMaxHeaderSize, when the block is shorter than the header
// or than header plus colour table, and when the table is too large for the
// 16 bits of PaletteSize. Otherwise *offset is set to where the
// pixel rows start, the same place FindDIBBits gives, and true is returned;
// the rows themselves are not checked, since their size depends on fields the
// caller validates for its own use. Reads nothing at or past `length`.
bool LocateDIBBits(const char *block, size_t length, size_t *offset);
