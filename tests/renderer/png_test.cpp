#include "orbitrace-render/batch.h"
#include "orbitrace-render/colour_index.h"
#include "orbitrace-render/png_writer.h"
#include "orbitrace-render/status_printer.h"

#include <gtest/gtest.h>

#include <stdint.h>
#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace {

TEST(IndexColours, PacksToTheFewestBitsThatHoldThePalette) {
  const struct {
    int colours, bits;
  } cases[] = {{1, 1}, {2, 1},  {3, 2},  {4, 2},
               {5, 4}, {16, 4}, {17, 8}, {256, 8}};
  for (const auto &c : cases) {
    // A row of 19 pixels cycling through the colours, a different top byte
    // on each, which is no part of the colour.
    std::vector<uint32_t> pixels;
    for (int x = 0; x < 19; ++x)
      pixels.push_back(uint32_t(x * 37) << 24 |
                       uint32_t(x % c.colours) * 0x010101u);
    IndexedRows out;
    ASSERT_TRUE(IndexColours(pixels.data(), 19, 1, 19, &out)) << c.colours;
    EXPECT_EQ(c.bits, out.bitDepth) << c.colours;
    EXPECT_EQ(size_t(std::min(c.colours, 19)), out.palette.size());
    EXPECT_EQ((19u * c.bits + 7) / 8, out.rowBytes) << c.colours;
  }
}

TEST(IndexColours, ListsColoursInOrderOfAppearanceAndPacksHighBitsFirst) {
  // Two rows of 5 in a stride of 6; the sixth pixel of each is not read.
  const uint32_t pixels[12] = {0x00FF00, 0x0000FF, 0x00FF00, 0xFF0000,
                               0x0000FF, 0x123456, 0xFF0000, 0xFF0000,
                               0x0000FF, 0x00FF00, 0x00FF00, 0x654321};
  IndexedRows out;
  ASSERT_TRUE(IndexColours(pixels, 5, 2, 6, &out));
  EXPECT_EQ((std::vector<uint32_t>{0x00FF00, 0x0000FF, 0xFF0000}), out.palette);
  ASSERT_EQ(2, out.bitDepth);
  // Indices 0 1 0 2 1 and 2 2 1 0 0, two bits each, the row's last byte
  // filled up with zeros.
  EXPECT_EQ((std::vector<uint8_t>{0x12, 0x40, 0xA4, 0x00}), out.rows);
}

TEST(IndexColours, RefusesMoreThan256Colours) {
  std::vector<uint32_t> pixels;
  for (uint32_t c = 0; c < 257; ++c)
    pixels.push_back(c);
  IndexedRows out;
  EXPECT_TRUE(IndexColours(pixels.data(), 256, 1, 256, &out));
  EXPECT_FALSE(IndexColours(pixels.data(), 257, 1, 257, &out));
}

cairo_status_t Append(void *closure, const unsigned char *data,
                      unsigned int n) {
  static_cast<std::string *>(closure)->append(
      reinterpret_cast<const char *>(data), n);
  return CAIRO_STATUS_SUCCESS;
}

struct Reader {
  const std::vector<unsigned char> *png;
  size_t at;
};

cairo_status_t Read(void *closure, unsigned char *data, unsigned int n) {
  Reader *r = static_cast<Reader *>(closure);
  if (r->at + n > r->png->size())
    return CAIRO_STATUS_READ_ERROR;
  std::copy_n(r->png->data() + r->at, n, data);
  r->at += n;
  return CAIRO_STATUS_SUCCESS;
}

uint32_t Pixel(cairo_surface_t *s, int x, int y) {
  const unsigned char *row =
      cairo_image_surface_get_data(s) + y * cairo_image_surface_get_stride(s);
  return reinterpret_cast<const uint32_t *>(row)[x] & 0xFFFFFF;
}

// Decoded by libpng through cairo's reader, the file gives back every drawn
// pixel; it is no larger than cairo's own writer makes it; a picture without
// antialiasing is stored with a palette (colour type 3).
TEST(EncodePng, DecodesToTheDrawnPictureAndIsNoLargerThanBefore) {
  RenderOptions sharp, smooth, small;
  smooth.antialias = true;
  small.areaWidth = 101;
  small.areaHeight = 77;
  const struct {
    const char *row;
    const RenderOptions *options;
    bool indexed;
  } cases[] = {{".30|.40|3|-.20", &sharp, true},
               {"1|1|12|1", &sharp, true},
               {"0|0|6|-.95", &small, true},
               {".75|.60|5|-.45", &smooth, false}};
  for (const auto &c : cases) {
    SCOPED_TRACE(std::string(c.row) + (c.indexed ? "" : ", antialiased"));
    StoredValues values;
    std::string error;
    ASSERT_TRUE(ParseValues(c.row, &values, &error)) << error;
    cairo_surface_t *drawn = RenderToImage(values, *c.options);
    std::vector<unsigned char> png;
    ASSERT_TRUE(EncodePng(drawn, &png, &error)) << error;
    ASSERT_GT(png.size(), 25u);
    EXPECT_EQ(c.indexed ? 3 : 2, png[25]) << "colour type";

    std::string before;
    cairo_surface_write_to_png_stream(drawn, Append, &before);
    EXPECT_LE(png.size(), before.size());

    Reader reader{&png, 0};
    cairo_surface_t *decoded =
        cairo_image_surface_create_from_png_stream(Read, &reader);
    ASSERT_EQ(CAIRO_STATUS_SUCCESS, cairo_surface_status(decoded));
    const int w = cairo_image_surface_get_width(drawn);
    const int h = cairo_image_surface_get_height(drawn);
    ASSERT_EQ(w, cairo_image_surface_get_width(decoded));
    ASSERT_EQ(h, cairo_image_surface_get_height(decoded));
    int differing = 0;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        if (Pixel(decoded, x, y) != Pixel(drawn, x, y) && ++differing < 4)
          ADD_FAILURE() << "pixel (" << x << ", " << y << "): decoded 0x"
                        << std::hex << Pixel(decoded, x, y) << ", drawn 0x"
                        << Pixel(drawn, x, y) << std::dec;
    EXPECT_EQ(0, differing);
    cairo_surface_destroy(decoded);
    cairo_surface_destroy(drawn);
  }
}

std::string Slurp(const std::string &path) {
  std::ifstream f(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), {});
}

// Rows that fail at once among rows that take a while to draw, so that the
// threads finish them out of order.
TEST(Batch, GivesTheSameFilesMessagesAndStatusOnAnyNumberOfThreads) {
  std::string rows;
  for (int i = 0; i < 40; ++i)
    rows += i % 7 == 3    ? ".3|.40|3|-.20\n"
            : i % 11 == 5 ? "1|1|13|1\n"
                          : std::string(i % 2 ? "1|.50|" : ".25|.05|") +
                                std::to_string(i % 12 + 1) + "|-.45\n";
  struct Run {
    int failed;
    std::string err, dir;
  } runs[3];
  const int threads[3] = {1, 2, 5};
  for (int t = 0; t < 3; ++t) {
    char tmpl[] = "/tmp/orbt_threads_XXXXXX";
    runs[t].dir = mkdtemp(tmpl);
    std::istringstream in(rows);
    std::ostringstream err;
    StatusPrinter messages(
        err, [] { return 0.0; }, false);
    BatchOptions batch;
    batch.threads = threads[t];
    runs[t].failed = RunBatch(in, runs[t].dir + "/r-##.png", RenderOptions(),
                              batch, &messages)
                         .failed;
    runs[t].err = err.str();
  }
  // The messages name the failed rows in ascending order.
  int last = 0, count = 0;
  for (size_t at = 0; (at = runs[0].err.find("row ", at)) != std::string::npos;
       at += 4, ++count) {
    const int row = atoi(runs[0].err.c_str() + at + 4);
    EXPECT_GT(row, last) << runs[0].err;
    last = row;
  }
  EXPECT_EQ(9, count) << runs[0].err;
  EXPECT_EQ(9, runs[0].failed);
  for (int t = 1; t < 3; ++t) {
    SCOPED_TRACE(std::to_string(threads[t]) + " threads");
    EXPECT_EQ(runs[0].failed, runs[t].failed);
    EXPECT_EQ(runs[0].err, runs[t].err);
    for (int row = 1; row <= 40; ++row) {
      const std::string name = NameForRow("/r-##.png", row);
      EXPECT_EQ(Slurp(runs[0].dir + name), Slurp(runs[t].dir + name))
          << "row " << row;
    }
  }
  for (const Run &run : runs) {
    for (int row = 1; row <= 40; ++row)
      unlink((run.dir + NameForRow("/r-##.png", row)).c_str());
    rmdir(run.dir.c_str());
  }
}

} // namespace
