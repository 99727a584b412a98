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

// LocateDIBBits gets exactly the bytes it is allowed to read: a heap copy of
// that length, so the sanitized build catches a read past the end.
bool Locate(const std::vector<char> &b, size_t from, size_t length,
            size_t *offset) {
  std::vector<char> exact(b.begin() + from, b.begin() + from + length);
  return LocateDIBBits(exact.empty() ? "" : exact.data(), length, offset);
}

TEST(LocateDIBBits, AgreesWithFindDIBBitsOnWellFormedBlocks) {
  struct {
    std::vector<char> block;
    size_t bits;
  } cases[] = {{InfoBlock(300, 277, 24), 40},
               {InfoBlock(300, 277, 8), 1064},
               {InfoBlock(3, 2, 1), 48},
               {InfoBlock(3, 2, 4), 104},
               {InfoBlock(3, 2, 8, 5), 60},
               {CoreBlock(8), 780},
               {CoreBlock(4), 60},
               {CoreBlock(24), 12}};
  for (auto &c : cases) {
    char *dib = &c.block[1];
    size_t offset = 0;
    ASSERT_TRUE(Locate(c.block, 1, c.block.size() - 1, &offset)) << c.bits;
    EXPECT_EQ(c.bits, offset);
    EXPECT_EQ(FindDIBBits(dib), dib + offset);
  }
}

TEST(LocateDIBBits, ColourTableMustFitExactly) {
  // A table that ends on the block's last byte is accepted (no rows yet);
  // one byte less and it no longer fits.
  std::vector<char> b = InfoBlock(300, 277, 8);
  size_t offset = 0;
  EXPECT_TRUE(Locate(b, 1, 1064, &offset));
  EXPECT_EQ(1064u, offset);
  EXPECT_FALSE(Locate(b, 1, 1063, &offset));

  b = CoreBlock(8);
  EXPECT_TRUE(Locate(b, 1, 780, &offset));
  EXPECT_EQ(780u, offset);
  EXPECT_FALSE(Locate(b, 1, 779, &offset));

  b = InfoBlock(300, 277, 24, 5); // biClrUsed asks for a table at 24 bits too
  EXPECT_FALSE(Locate(b, 1, 59, &offset));
  EXPECT_TRUE(Locate(b, 1, 60, &offset));
  EXPECT_EQ(60u, offset);
}

TEST(LocateDIBBits, BlockShorterThanItsHeaderIsRefused) {
  std::vector<char> info = InfoBlock(300, 277, 24);
  std::vector<char> core = CoreBlock(24);
  size_t offset = 1234;
  for (size_t n = 0; n < 40; ++n)
    EXPECT_FALSE(Locate(info, 1, n, &offset)) << n;
  for (size_t n = 0; n < 12; ++n)
    EXPECT_FALSE(Locate(core, 1, n, &offset)) << n;
  EXPECT_EQ(1234u, offset); // untouched on refusal
  EXPECT_TRUE(Locate(info, 1, 40, &offset));
  EXPECT_TRUE(Locate(core, 1, 12, &offset));
  EXPECT_FALSE(LocateDIBBits(NULL, 40, &offset));
}

TEST(LocateDIBBits, ImplausibleHeaderSizesAreRefused) {
  std::vector<char> b(1 + 4096, '\0');
  size_t offset = 0;
  for (uint32_t size :
       {0u, 1u, 4u, 11u, 125u, 4096u, 0x7FFFFFFFu, 0xFFFFFFFFu}) {
    Put32(b, 1, size);
    EXPECT_FALSE(Locate(b, 1, b.size() - 1, &offset)) << size;
  }
}

TEST(LocateDIBBits, OtherSizesAreReadAsCoreHeadersOfThatLength) {
  // Like FindDIBBits: a 108-byte header is read as a core header, bit count
  // from byte 10, three-byte entries, rows after all 108 bytes.
  std::vector<char> b(1 + 108 + 48, '\0');
  Put32(b, 1, 108);
  Put16(b, 1 + 10, 4);
  size_t offset = 0;
  ASSERT_TRUE(Locate(b, 1, b.size() - 1, &offset));
  EXPECT_EQ(108u + 48u, offset);
  EXPECT_EQ(FindDIBBits(&b[1]), &b[1] + offset);
  EXPECT_FALSE(Locate(b, 1, 107, &offset));
  EXPECT_FALSE(Locate(b, 1, 108 + 47, &offset));
}

TEST(LocateDIBBits, TablesBeyondSixteenBitsOfBytesAreRefused) {
  // 16384 four-byte entries make 65536 bytes, which PaletteSize cuts to 0:
  // FindDIBBits would then put the rows where the table starts.
  std::vector<char> b(40 + 65536 + 16, '\0');
  Put32(b, 0, 40);
  Put16(b, 14, 8);
  Put32(b, 32, 16384);
  size_t offset = 0;
  EXPECT_FALSE(Locate(b, 0, b.size(), &offset));

  Put32(b, 32, 16383); // 65532 bytes still fit
  ASSERT_TRUE(Locate(b, 0, b.size(), &offset));
  EXPECT_EQ(40u + 65532u, offset);
  EXPECT_EQ(FindDIBBits(&b[0]), &b[0] + offset);
}

TEST(LocateDIBBits, OffsetMayBeOmitted) {
  std::vector<char> b = InfoBlock(300, 277, 24);
  EXPECT_TRUE(LocateDIBBits(&b[1], 40, NULL));
  EXPECT_FALSE(LocateDIBBits(&b[1], 39, NULL));
}

} // namespace
