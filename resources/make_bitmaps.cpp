// Writes the plug-in's bitmap resources as .bmp files into the directory
// named on the command line, so that the resource compiler can pick them up
// from there. The pictures are generated rather than kept as binary files so
// that every pixel is reviewable in this source.
//
// Usage: make_bitmaps <output-directory>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

void put16(Bytes &out, std::uint16_t v) {
  out.push_back(static_cast<std::uint8_t>(v & 0xFF));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void put32(Bytes &out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i)
    out.push_back(static_cast<std::uint8_t>((v >> (8 * i)) & 0xFF));
}

// 96 dots per inch.
constexpr std::uint32_t kPixelsPerMetre = 3780;

// BITMAPFILEHEADER followed by BITMAPINFOHEADER, both little-endian.
Bytes Headers(int width, int height, int bitsPerPixel, int paletteEntries,
              std::uint32_t imageSize) {
  const std::uint32_t offBits = 14 + 40 + 4 * paletteEntries;
  Bytes out;
  out.push_back('B');
  out.push_back('M');
  put32(out, offBits + imageSize); // bfSize
  put16(out, 0);                   // bfReserved1
  put16(out, 0);                   // bfReserved2
  put32(out, offBits);             // bfOffBits
  put32(out, 40);                  // biSize
  put32(out, static_cast<std::uint32_t>(width));
  put32(out, static_cast<std::uint32_t>(height)); // positive: bottom-up
  put16(out, 1);                                  // biPlanes
  put16(out, static_cast<std::uint16_t>(bitsPerPixel));
  put32(out, 0); // biCompression = BI_RGB
  put32(out, imageSize);
  put32(out, kPixelsPerMetre);
  put32(out, kPixelsPerMetre);
  put32(out, 0); // biClrUsed: the full table for the bit depth
  put32(out, 0); // biClrImportant
  return out;
}

struct Rgb {
  std::uint8_t r, g, b;
};

constexpr int kStepSize = 16;
using StepPicture = Rgb[kStepSize][kStepSize]; // [row from top][column]

// The upper half of a spin button: black top and sides, a grey inner
// shadow, no bottom edge so that it joins the lower half, and an up arrow.
void DrawStepUp(StepPicture &pic) {
  const Rgb face{211, 211, 211};
  const Rgb shadow{127, 127, 127};
  const Rgb black{0, 0, 0};
  for (int y = 0; y < kStepSize; ++y)
    for (int x = 0; x < kStepSize; ++x)
      pic[y][x] = face;
  for (int x = 1; x < kStepSize - 1; ++x)
    pic[1][x] = shadow;
  for (int y = 1; y < kStepSize; ++y) {
    pic[y][1] = shadow;
    pic[y][kStepSize - 2] = shadow;
  }
  for (int x = 0; x < kStepSize; ++x)
    pic[0][x] = black;
  for (int y = 0; y < kStepSize; ++y) {
    pic[y][0] = black;
    pic[y][kStepSize - 1] = black;
  }
  // Triangle with its apex at column 8, row 7, widening by one column on
  // each side per row.
  for (int i = 0; i < 4; ++i)
    for (int x = 8 - i; x <= 8 + i; ++x)
      pic[7 + i][x] = black;
}

Bytes StepBitmap(const StepPicture &pic) {
  const int stride = kStepSize * 3; // 48, already a multiple of 4
  Bytes out = Headers(kStepSize, kStepSize, 24, 0, stride * kStepSize);
  for (int y = kStepSize - 1; y >= 0; --y) // bottom row first
    for (int x = 0; x < kStepSize; ++x) {
      out.push_back(pic[y][x].b);
      out.push_back(pic[y][x].g);
      out.push_back(pic[y][x].r);
    }
  return out;
}

// The standard 16-colour Windows palette.
const Rgb kVgaPalette[16] = {
    {0, 0, 0},       {128, 0, 0},   {0, 128, 0},   {128, 128, 0},
    {0, 0, 128},     {128, 0, 128}, {0, 128, 128}, {192, 192, 192},
    {128, 128, 128}, {255, 0, 0},   {0, 255, 0},   {255, 255, 0},
    {0, 0, 255},     {255, 0, 255}, {0, 255, 255}, {255, 255, 255},
};

constexpr int kStripWidth = 60;
constexpr int kStripHeight = 16;

// Tool images: '#' black, 'w' white, '.' silver; rows from the top.
const char *const kZoomIn[kStripHeight] = {
    "...#####.......", ".##wwwww##.....", ".#w......#.....", "#w...#....#....",
    "#w...#....#....", "#w.#####..#....", "#w...#....#....", "#....#....#....",
    ".#.......#.....", ".##.....###....", "...#####.###...", "..........###..",
    "...........###.", "............###", ".............##", "...............",
};

const char *const kZoomOut[kStripHeight] = {
    "...#####.......", ".##wwwww##.....", ".#w......#.....", "#w........#....",
    "#w........#....", "#w.#####..#....", "#w........#....", "#.........#....",
    ".#.......#.....", ".##.....###....", "...#####.###...", "..........###..",
    "...........###.", "............###", ".............##", "...............",
};

const char *const kHourglass[kStripHeight] = {
    "############", "#wwwwwwwwww#", ".#wwwwwwww#.", "..#wwwwww#..",
    "...#wwww#...", "....#ww#....", ".....##.....", ".....##.....",
    "....#ww#....", "...#wwww#...", "..#wwwwww#..", ".#wwwwwwww#.",
    "#wwwwwwwwww#", "############", "............", "............",
};

void Blit(std::uint8_t (&strip)[kStripHeight][kStripWidth],
          const char *const (&image)[kStripHeight], int left) {
  for (int y = 0; y < kStripHeight; ++y)
    for (int x = 0; image[y][x] != '\0'; ++x) {
      switch (image[y][x]) {
      case '#':
        strip[y][left + x] = 0;
        break;
      case 'w':
        strip[y][left + x] = 15;
        break;
      default:
        break;
      }
    }
}

Bytes ToolStripBitmap() {
  std::uint8_t strip[kStripHeight][kStripWidth];
  for (auto &row : strip)
    for (auto &px : row)
      px = 7; // silver
  Blit(strip, kZoomIn, 0);
  Blit(strip, kZoomOut, 17);
  Blit(strip, kHourglass, 34);

  const int stride = ((kStripWidth * 4 + 31) / 32) * 4; // 32 bytes
  Bytes out = Headers(kStripWidth, kStripHeight, 4, 16, stride * kStripHeight);
  for (const Rgb &c : kVgaPalette) {
    out.push_back(c.b);
    out.push_back(c.g);
    out.push_back(c.r);
    out.push_back(0);
  }
  for (int y = kStripHeight - 1; y >= 0; --y) {
    Bytes row(stride, 0);
    for (int x = 0; x < kStripWidth; ++x) {
      const int shift = (x % 2 == 0) ? 4 : 0; // leftmost pixel in high nibble
      row[x / 2] |= static_cast<std::uint8_t>(strip[y][x] << shift);
    }
    out.insert(out.end(), row.begin(), row.end());
  }
  return out;
}

bool WriteFile(const std::string &path, const Bytes &data) {
  std::FILE *f = std::fopen(path.c_str(), "wb");
  if (!f) {
    std::perror(path.c_str());
    return false;
  }
  const bool ok = std::fwrite(data.data(), 1, data.size(), f) == data.size();
  if (std::fclose(f) != 0 || !ok) {
    std::fprintf(stderr, "%s: write failed\n", path.c_str());
    return false;
  }
  return true;
}

} // namespace

int main(int argc, char **argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <output-directory>\n", argv[0]);
    return 2;
  }
  const std::string dir = std::string(argv[1]) + "/";

  StepPicture up;
  DrawStepUp(up);
  StepPicture down;
  for (int y = 0; y < kStepSize; ++y)
    for (int x = 0; x < kStepSize; ++x)
      down[y][x] = up[kStepSize - 1 - y][x];

  bool ok = WriteFile(dir + "step_up.bmp", StepBitmap(up));
  ok = WriteFile(dir + "step_down.bmp", StepBitmap(down)) && ok;
  ok = WriteFile(dir + "tool_strip.bmp", ToolStripBitmap()) && ok;
  return ok ? 0 : 1;
}
