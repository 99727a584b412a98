#include "orbitrace-render/png_writer.h"

#include "orbitrace-render/colour_index.h"

#include <png.h>

#include <errno.h>
#include <stdio.h>
#include <string.h>

namespace {

// What the libpng callbacks need; plain data, since libpng leaves a failing
// call by longjmp and must not jump over a destructor.
struct Output {
  std::vector<unsigned char> *png;
  char message[200];
};

void OnWrite(png_structp p, png_bytep data, png_size_t n) {
  Output *out = static_cast<Output *>(png_get_io_ptr(p));
  out->png->insert(out->png->end(), data, data + n);
}

void OnFlush(png_structp) {}

void OnError(png_structp p, png_const_charp message) {
  Output *out = static_cast<Output *>(png_get_error_ptr(p));
  snprintf(out->message, sizeof out->message, "%s", message);
  png_longjmp(p, 1);
}

void OnWarning(png_structp, png_const_charp) {}

int FilterFlag(int type) {
  switch (type) {
  case 1:
    return PNG_FILTER_SUB;
  case 2:
    return PNG_FILTER_UP;
  case 3:
    return PNG_FILTER_AVG;
  case 4:
    return PNG_FILTER_PAETH;
  default:
    return PNG_FILTER_NONE;
  }
}

// Exactly one of `indexed` and `rgbRows` is given; `rgbRows` holds
// height * width * 3 bytes.
bool Encode(int width, int height, const IndexedRows *indexed,
            const unsigned char *rgbRows, const PngCompression &c,
            Output *out) {
  png_structp p =
      png_create_write_struct(PNG_LIBPNG_VER_STRING, out, OnError, OnWarning);
  if (p == nullptr) {
    snprintf(out->message, sizeof out->message, "out of memory");
    return false;
  }
  png_infop info = png_create_info_struct(p);
  if (info == nullptr || setjmp(png_jmpbuf(p))) {
    if (info == nullptr)
      snprintf(out->message, sizeof out->message, "out of memory");
    png_destroy_write_struct(&p, &info);
    return false;
  }
  png_set_write_fn(p, out, OnWrite, OnFlush);
  if (indexed != nullptr) {
    png_color colours[256];
    const int n = static_cast<int>(indexed->palette.size());
    for (int i = 0; i < n; ++i) {
      const uint32_t c32 = indexed->palette[i];
      colours[i].red = static_cast<png_byte>(c32 >> 16);
      colours[i].green = static_cast<png_byte>(c32 >> 8);
      colours[i].blue = static_cast<png_byte>(c32);
    }
    png_set_compression_level(p, c.level);
    png_set_compression_strategy(p, c.strategy);
    png_set_filter(p, PNG_FILTER_TYPE_BASE, FilterFlag(c.filter));
    png_set_IHDR(p, info, width, height, indexed->bitDepth,
                 PNG_COLOR_TYPE_PALETTE, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_BASE, PNG_FILTER_TYPE_BASE);
    png_set_PLTE(p, info, colours, n);
    png_write_info(p, info);
    for (int y = 0; y < height; ++y)
      png_write_row(p, indexed->rows.data() + y * indexed->rowBytes);
  } else {
    // Many colours: libpng's defaults, which are what cairo's own writer
    // uses, so such files are no larger than before.
    png_set_IHDR(p, info, width, height, 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_BASE,
                 PNG_FILTER_TYPE_BASE);
    png_write_info(p, info);
    for (int y = 0; y < height; ++y)
      png_write_row(p, const_cast<unsigned char *>(rgbRows) + y * width * 3);
  }
  png_write_end(p, info);
  png_destroy_write_struct(&p, &info);
  return true;
}

} // namespace

bool EncodePng(cairo_surface_t *image, std::vector<unsigned char> *png,
               std::string *error, const PngCompression &compression) {
  if (cairo_surface_status(image) != CAIRO_STATUS_SUCCESS ||
      cairo_surface_get_type(image) != CAIRO_SURFACE_TYPE_IMAGE ||
      cairo_image_surface_get_format(image) != CAIRO_FORMAT_RGB24) {
    *error = "not an RGB24 image surface";
    return false;
  }
  cairo_surface_flush(image);
  const int width = cairo_image_surface_get_width(image);
  const int height = cairo_image_surface_get_height(image);
  const size_t stride = cairo_image_surface_get_stride(image) / 4;
  const uint32_t *pixels =
      reinterpret_cast<const uint32_t *>(cairo_image_surface_get_data(image));

  Output out;
  out.png = png;
  out.message[0] = '\0';
  png->clear();
  IndexedRows indexed;
  bool encoded;
  if (IndexColours(pixels, width, height, stride, &indexed)) {
    encoded = Encode(width, height, &indexed, nullptr, compression, &out);
  } else {
    std::vector<unsigned char> rgb(static_cast<size_t>(width) * height * 3);
    unsigned char *to = rgb.data();
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) {
        const uint32_t c = pixels[y * stride + x];
        *to++ = static_cast<unsigned char>(c >> 16);
        *to++ = static_cast<unsigned char>(c >> 8);
        *to++ = static_cast<unsigned char>(c);
      }
    encoded = Encode(width, height, nullptr, rgb.data(), compression, &out);
  }
  if (!encoded)
    *error = std::string("PNG encoding failed: ") + out.message;
  return encoded;
}

bool WritePngFile(cairo_surface_t *image, const std::string &path,
                  std::string *error) {
  std::vector<unsigned char> png;
  std::string reason;
  if (!EncodePng(image, &png, &reason)) {
    *error = "cannot write \"" + path + "\": " + reason;
    return false;
  }
  FILE *f = fopen(path.c_str(), "wb");
  if (f == nullptr) {
    *error = "cannot write \"" + path + "\": " + strerror(errno);
    return false;
  }
  const bool written = fwrite(png.data(), 1, png.size(), f) == png.size();
  const int writeErrno = errno;
  const bool closed = fclose(f) == 0;
  if (!written || !closed) {
    *error = "cannot write \"" + path +
             "\": " + strerror(written ? errno : writeErrno);
    remove(path.c_str());
    return false;
  }
  return true;
}
