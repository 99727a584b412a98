#include "export/dib_header.h"

#include <gtest/gtest.h>

#include <string.h>

#include <vector>

namespace {

void Put16(std::vector<char> &b, size_t at, uint16_t v) {
  b[at] = static_cast<char>(v & 0xFF);
  b[at + 1] = static_cast<char>(v >> 8);
}

void Put32(std::vector<char> &b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i)
    b[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

// A block with a 40-byte header laid out as the platform lays it out. One
// spare byte in front lets a test place the header at an odd address.
std::vector<char> InfoBlock(int32_t width, int32_t height, uint16_t bitCount,
                            uint32_t clrUsed = 0) {
  std::vector<char> b(1 + 40 + 1024 + 16, '\x7f');
  const size_t h = 1;
  Put32(b, h + 0, 40);
  Put32(b, h + 4, static_cast<uint32_t>(width));
  Put32(b, h + 8, static_cast<uint32_t>(height));
  Put16(b, h + 12, 1);
  Put16(b, h + 14, bitCount);
  Put32(b, h + 16, 0); // biCompression
  Put32(b, h + 20, 0); // biSizeImage
  Put32(b, h + 24, 0); // biXPelsPerMeter
  Put32(b, h + 28, 0); // biYPelsPerMeter
  Put32(b, h + 32, clrUsed);
  Put32(b, h + 36, 0); // biClrImportant
  return b;
}

std::vector<char> CoreBlock(uint16_t bitCount) {
  std::vector<char> b(1 + 12 + 768 + 16, '\x7f');
  const size_t h = 1;
  Put32(b, h + 0, 12);
  Put16(b, h + 4, 300);
  Put16(b, h + 6, 277);
  Put16(b, h + 8, 1);
  Put16(b, h + 10, bitCount);
  return b;
}

TEST(DibBitCount, ChosenFromTheDeviceDepth) {
  EXPECT_EQ(1, DibBitCount(1, 1));
  EXPECT_EQ(4, DibBitCount(1, 2));
  EXPECT_EQ(4, DibBitCount(1, 4));
  EXPECT_EQ(8, DibBitCount(1, 8));
  EXPECT_EQ(24, DibBitCount(1, 16));
  EXPECT_EQ(24, DibBitCount(1, 24));
  EXPECT_EQ(24, DibBitCount(1, 32));
  EXPECT_EQ(4, DibBitCount(4, 1)); // planes count as well
  EXPECT_EQ(1, DibBitCount(0, 8));
  // The product is cut to 16 bits: 256 x 256 wraps to 0.
  EXPECT_EQ(1, DibBitCount(256, 256));
}

TEST(DibRowBytes, RowsRoundUpToFourBytes) {
  EXPECT_EQ(900u, DibRowBytes(24, 300));
  EXPECT_EQ(904u, DibRowBytes(24, 301));
  EXPECT_EQ(300u, DibRowBytes(8, 300));
  EXPECT_EQ(304u, DibRowBytes(8, 301));
  EXPECT_EQ(4u, DibRowBytes(1, 1));
  EXPECT_EQ(4u, DibRowBytes(1, 32));
  EXPECT_EQ(8u, DibRowBytes(1, 33));
  EXPECT_EQ(152u, DibRowBytes(4, 301));
  EXPECT_EQ(0u, DibRowBytes(24, 0));
}

TEST(DibImageSize, RowsTimesHeight) {
  EXPECT_EQ(249300u, DibImageSize(24, 300, 277));
  EXPECT_EQ(904u * 277, DibImageSize(24, 301, 277));
  EXPECT_EQ(0u, DibImageSize(24, 300, 0));
}

TEST(PaletteEntryCount, PowersOfTwoCappedAt256) {
  EXPECT_EQ(2, PaletteEntryCount(1, 1));
  EXPECT_EQ(16, PaletteEntryCount(1, 4));
  EXPECT_EQ(256, PaletteEntryCount(1, 8));
  EXPECT_EQ(16, PaletteEntryCount(4, 1));
  EXPECT_EQ(256, PaletteEntryCount(1, 16));
  EXPECT_EQ(256, PaletteEntryCount(1, 24));
  EXPECT_EQ(256, PaletteEntryCount(1, 32));
}

TEST(DibHeaderReaders, TwentyFourBitsHaveNoColourTable) {
  std::vector<char> b = InfoBlock(300, 277, 24);
  char *dib = &b[1];
  EXPECT_EQ(0, DIBNumColors(dib));
  EXPECT_EQ(0, PaletteSize(dib));
  EXPECT_EQ(dib + 40, FindDIBBits(dib));
}

TEST(DibHeaderReaders, InfoHeaderColourTables) {
  const struct {
    uint16_t bits;
    uint16_t colours;
  } cases[] = {{1, 2},  {4, 16}, {8, 256}, {2, 0},
               {16, 0}, {24, 0}, {32, 0},  {0, 0}};
  for (const auto &c : cases) {
    std::vector<char> b = InfoBlock(300, 277, c.bits);
    char *dib = &b[1];
    EXPECT_EQ(c.colours, DIBNumColors(dib)) << c.bits;
    EXPECT_EQ(c.colours * 4, PaletteSize(dib)) << c.bits;
    EXPECT_EQ(dib + 40 + c.colours * 4, FindDIBBits(dib)) << c.bits;
  }
}

TEST(DibHeaderReaders, EightBitsStartAfterTheTable) {
  std::vector<char> b = InfoBlock(300, 277, 8);
  char *dib = &b[1];
  EXPECT_EQ(1024, PaletteSize(dib));
  EXPECT_EQ(dib + 1064, FindDIBBits(dib));
}

TEST(DibHeaderReaders, ColoursInUseOverrideTheBitCount) {
  std::vector<char> b = InfoBlock(300, 277, 8, 5);
  char *dib = &b[1];
  EXPECT_EQ(5, DIBNumColors(dib));
  EXPECT_EQ(20, PaletteSize(dib));
  EXPECT_EQ(dib + 60, FindDIBBits(dib));

  b = InfoBlock(300, 277, 24, 3); // even where the bit count has no table
  dib = &b[1];
  EXPECT_EQ(3, DIBNumColors(dib));
  EXPECT_EQ(12, PaletteSize(dib));

  b = InfoBlock(300, 277, 8, 0x10002); // cut to 16 bits
  EXPECT_EQ(2, DIBNumColors(&b[1]));
}

TEST(DibHeaderReaders, CoreHeaderHasThreeByteEntries) {
  const struct {
    uint16_t bits;
    uint16_t colours;
  } cases[] = {{1, 2}, {4, 16}, {8, 256}, {2, 0}, {16, 0}, {24, 0}, {32, 0}};
  for (const auto &c : cases) {
    std::vector<char> b = CoreBlock(c.bits);
    char *dib = &b[1];
    EXPECT_EQ(c.colours, DIBNumColors(dib)) << c.bits;
    EXPECT_EQ(c.colours * 3, PaletteSize(dib)) << c.bits;
    EXPECT_EQ(dib + 12 + c.colours * 3, FindDIBBits(dib)) << c.bits;
  }
}

TEST(DibHeaderReaders, CoreHeaderEightBits) {
  std::vector<char> b = CoreBlock(8);
  char *dib = &b[1];
  EXPECT_EQ(768, PaletteSize(dib));
  EXPECT_EQ(dib + 780, FindDIBBits(dib));
}

TEST(DibHeaderReaders, CoreHeaderIgnoresWhatWouldBeClrUsed) {
  // Bytes where a 40-byte header keeps biClrUsed mean nothing after a core
  // header.
  std::vector<char> b = CoreBlock(4);
  Put32(b, 1 + 32, 5);
  EXPECT_EQ(16, DIBNumColors(&b[1]));
}

} // namespace
