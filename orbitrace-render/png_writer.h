// The renderer's PNG files, written with libpng. A picture of 256 colours or
// fewer (every picture drawn without antialiasing) becomes an indexed-colour
// PNG of the fewest bits per pixel; any other stays 8-bit RGB. Both decode
// to exactly the drawn pixels.
#pragma once

#include <cairo.h>

#include <string>
#include <vector>

// How an indexed picture is compressed. The defaults are the fastest of the
// settings the benchmark compares (orbitrace-render --bench), and give
// files well below cairo's own writer's.
struct PngCompression {
  int level = 1;    // zlib's level
  int strategy = 3; // zlib's strategy: 0 default, 1 filtered, 3 run-length
  int filter = 2;   // one PNG filter type for every row: 0 none, 2 up
};

// Encodes an RGB24 image surface into `png`. False with a reason when the
// surface is not such an image or libpng fails.
bool EncodePng(cairo_surface_t *image, std::vector<unsigned char> *png,
               std::string *error,
               const PngCompression &compression = PngCompression());

// Encodes and writes the file in one piece; a file that could not be
// written whole is removed. False with "cannot write \"PATH\": REASON".
bool WritePngFile(cairo_surface_t *image, const std::string &path,
                  std::string *error);
