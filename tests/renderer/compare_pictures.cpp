// Compares the plug-in's clipboard picture with orbitrace-render's PNG:
// the share of pixels that agree outside the hour labels' cells, since the
// two draw their labels in different fonts.
//   compare_pictures DLL.png RENDERED.png --size WxH --dll-metrics LHxAW
//                    [--min PERCENT] [--diff OUT.png]
#include "render/ring_layout.h"
#include "orbitrace-render/render_cli.h"
#include "orbitrace-render/sketch_cairo.h"

#include <cairo.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include <string>
#include <vector>

namespace {

int Fail(const std::string &message) {
  fprintf(stderr, "compare_pictures: %s\n", message.c_str());
  return 2;
}

// Marks the cells of the twelve labels for one font's metrics, each one
// average width wider than its characters, since figures of a bold face
// are wider than the font's average.
void MarkCells(const PictureGeometry &g, int lh, int aw,
               std::vector<bool> *mask) {
  RingLabel labels[kRingLabelCount];
  LayoutRing(IntRect{0, 0, g.areaWidth, g.areaHeight}, lh, aw, labels);
  for (const RingLabel &l : labels) {
    for (int y = l.yPos; y < l.yPos + lh; ++y)
      for (int x = l.xPos - aw / 2; x < l.xPos + (l.count + 1) * aw; ++x) {
        int px = x + g.areaX, py = y + g.areaY;
        if (px >= 0 && py >= 0 && px < g.width && py < g.height)
          (*mask)[py * g.width + px] = true;
      }
  }
}

uint32_t Pixel(cairo_surface_t *s, int x, int y) {
  const unsigned char *row =
      cairo_image_surface_get_data(s) + y * cairo_image_surface_get_stride(s);
  return reinterpret_cast<const uint32_t *>(row)[x] & 0xFFFFFF;
}

} // namespace

int main(int argc, char **argv) {
  if (argc < 3)
    return Fail("usage: compare_pictures DLL.png RENDERED.png --size WxH "
                "--dll-metrics LHxAW [--min PERCENT] [--diff OUT.png]");
  int w = kDefaultAreaWidth, h = kDefaultAreaHeight, lh = 0, aw = 0;
  double minimum = 99.0;
  std::string diff, error;
  for (int i = 3; i < argc; ++i) {
    std::string a = argv[i];
    if (i + 1 >= argc)
      return Fail(a + " needs a value");
    std::string v = argv[++i];
    if (a == "--size") {
      if (!ParseSize(v, &w, &h, &error))
        return Fail(error);
    } else if (a == "--dll-metrics") {
      if (sscanf(v.c_str(), "%dx%d", &lh, &aw) != 2 || lh <= 0 || aw <= 0)
        return Fail("--dll-metrics needs LHxAW, e.g. 16x7");
    } else if (a == "--min") {
      minimum = atof(v.c_str());
    } else if (a == "--diff") {
      diff = v;
    } else {
      return Fail("unknown option " + a);
    }
  }
  if (lh == 0)
    return Fail("--dll-metrics is required");

  cairo_surface_t *dll = cairo_image_surface_create_from_png(argv[1]);
  cairo_surface_t *ours = cairo_image_surface_create_from_png(argv[2]);
  if (cairo_surface_status(dll) || cairo_surface_status(ours))
    return Fail("cannot read both pictures");
  const PictureGeometry g = GeometryFor(w, h);
  const int dw = cairo_image_surface_get_width(dll);
  const int dh = cairo_image_surface_get_height(dll);
  if (dw != g.width || dh != g.height ||
      cairo_image_surface_get_width(ours) != g.width ||
      cairo_image_surface_get_height(ours) != g.height) {
    fprintf(stderr,
            "compare_pictures: sizes differ: DLL %dx%d, rendered "
            "%dx%d, expected %dx%d\n",
            dw, dh, cairo_image_surface_get_width(ours),
            cairo_image_surface_get_height(ours), g.width, g.height);
    return 1;
  }

  std::vector<bool> cells(g.width * g.height, false);
  MarkCells(g, lh, aw, &cells);
  cairo_surface_t *probe = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 1, 1);
  cairo_t *cr = cairo_create(probe);
  RenderOptions options;
  options.areaWidth = w;
  options.areaHeight = h;
  const LabelMetrics m = SelectLabelFont(cr, options);
  cairo_destroy(cr);
  cairo_surface_destroy(probe);
  MarkCells(g, m.lineHeight, m.averageWidth, &cells);

  cairo_surface_flush(dll);
  cairo_surface_flush(ours);
  cairo_surface_t *out =
      diff.empty()
          ? nullptr
          : cairo_image_surface_create(CAIRO_FORMAT_RGB24, g.width, g.height);
  long compared = 0, same = 0;
  for (int y = 0; y < g.height; ++y)
    for (int x = 0; x < g.width; ++x) {
      uint32_t colour = 0x808080;
      if (!cells[y * g.width + x]) {
        ++compared;
        const bool equal = Pixel(dll, x, y) == Pixel(ours, x, y);
        same += equal;
        colour = equal ? 0xFFFFFF : 0xFF0000;
      }
      if (out)
        reinterpret_cast<uint32_t *>(
            cairo_image_surface_get_data(out) +
            y * cairo_image_surface_get_stride(out))[x] = colour;
    }
  if (out) {
    cairo_surface_mark_dirty(out);
    cairo_surface_write_to_png(out, diff.c_str());
    cairo_surface_destroy(out);
  }
  const double percent = compared ? 100.0 * same / compared : 0;
  printf("%ld of %ld pixels outside the label cells agree (%.3f%%; at least "
         "%.2f%% needed)\n",
         same, compared, percent, minimum);
  cairo_surface_destroy(dll);
  cairo_surface_destroy(ours);
  return compared > 0 && percent >= minimum ? 0 : 1;
}
