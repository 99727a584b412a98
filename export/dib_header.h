// Arithmetic of packed device-independent bitmaps: what the header says and
// how large each part of the block is. No platform calls.
#pragma once

#include <stdint.h>

enum { kInfoHeaderSize = 40, kCoreHeaderSize = 12 };

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

// Readers of a locked block that starts with a 40-byte or a core header.
uint16_t DIBNumColors(const char *lpDIB);
uint16_t PaletteSize(const char *lpDIB);
char *FindDIBBits(char *lpDIB);
