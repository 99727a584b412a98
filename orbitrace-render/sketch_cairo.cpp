#include "orbitrace-render/sketch_cairo.h"

#include "orbitrace-render/png_writer.h"
#include "orbitrace-render/svg_ids.h"

#include "render/cup_layout.h"
#include "render/disc_layout.h"
#include "render/ring_layout.h"
#include "render/sketch_colours.h"

#include <cairo-pdf.h>
#include <cairo-svg.h>

#include <errno.h>
#include <math.h>
#include <stdio.h>
#include <string.h>
#include <strings.h>

#include <algorithm>
#include <mutex>
#include <vector>

namespace {

// cairo 1.16 aborts ("! scaled_font->cache_frozen") when one thread lets go
// of the last reference to a scaled font that another thread is looking up
// in cairo's shared map, as sketches drawn on several threads do. Each
// label font is therefore kept referenced for the life of the process, so
// its count never falls to zero while sketches are drawn; a run uses a
// handful (one per size and antialiasing), and at most 64 are kept.
void KeepScaledFont(cairo_t *cr) {
  static std::mutex lock;
  static std::vector<cairo_scaled_font_t *> kept;
  cairo_scaled_font_t *font = cairo_get_scaled_font(cr);
  std::lock_guard<std::mutex> hold(lock);
  if (kept.size() < 64 &&
      std::find(kept.begin(), kept.end(), font) == kept.end())
    kept.push_back(cairo_scaled_font_reference(font));
}

cairo_status_t AppendSvg(void *closure, const unsigned char *data,
                         unsigned int size) {
  static_cast<std::string *>(closure)->append(
      reinterpret_cast<const char *>(data), size);
  return CAIRO_STATUS_SUCCESS;
}

struct Rgb {
  double r, g, b;
};

Rgb FromBytes(int r, int g, int b) {
  return Rgb{r / 255.0, g / 255.0, b / 255.0};
}

// The dialog face around the sketch area, as the capture under Wine shows it.
const Rgb kDialogFace = FromBytes(245, 245, 245);
const Rgb kSketchArea = FromBytes(255, 255, 255);
// The plug-in's own colours.
Rgb FromSketchColour(uint32_t c) {
  return FromBytes(c & 0xFF, c >> 8 & 0xFF, c >> 16 & 0xFF);
}
const Rgb kDisc = FromSketchColour(kDiscColour);
const Rgb kCup = FromSketchColour(kCupColour);
const Rgb kGreyedLabel = FromSketchColour(kGreyedLabelColour);
const Rgb kDarkLabel = FromBytes(64, 64, 64);

// A clip made from an ellipse path leaves out the outline Ellipse would
// paint, so it lies half a pixel inside the thin-outline shape.
const double kClipInset = -0.5;

const char kLabelFamily[] = "DejaVu Sans";

void SetColour(cairo_t *cr, const Rgb &c) {
  cairo_set_source_rgb(cr, c.r, c.g, c.b);
}

// The ellipse inscribed in a platform rectangle. A pixel-wide outline of
// Ellipse(l, t, r, b) covers pixels l .. r - 1, so the shape spans the
// continuous interval [l, r]. An empty rectangle has no ellipse.
bool EllipsePath(cairo_t *cr, const IntRect &r, double grow = 0) {
  const double w = r.right - r.left + 2 * grow;
  const double h = r.bottom - r.top + 2 * grow;
  if (w <= 0 || h <= 0)
    return false;
  cairo_save(cr);
  cairo_translate(cr, (r.left + r.right) / 2.0, (r.top + r.bottom) / 2.0);
  cairo_scale(cr, w / 2, h / 2);
  cairo_new_sub_path(cr);
  cairo_arc(cr, 0, 0, 1, 0, 2 * M_PI);
  cairo_close_path(cr);
  cairo_restore(cr);
  return true;
}

} // namespace

static int RoundedShare(int pixels, int units, int ofUnits) {
  return (2 * pixels * units + ofUnits) / (2 * ofUnits);
}

// Dialog units to pixels as the dialog manager maps them: times the base
// unit, over 4 across or 8 down, rounded half up as MulDiv rounds.
static int DialogPixels(int units, int baseUnit, int unitsPerBase) {
  return (2 * units * baseUnit + unitsPerBase) / (2 * unitsPerBase);
}

// The whole base unit that maps `units` to exactly `pixels`, or 0.
static int BaseUnitFor(int pixels, int units, int unitsPerBase) {
  for (int b = 1; b <= pixels * unitsPerBase / units + 1; ++b)
    if (DialogPixels(units, b, unitsPerBase) == pixels)
      return b;
  return 0;
}

PictureGeometry GeometryFor(int areaWidth, int areaHeight) {
  PictureGeometry g;
  g.areaWidth = areaWidth;
  g.areaHeight = areaHeight;
  // A sketch area the dialog can have at some font (every dpi) gives its
  // base units, and with them the frame exactly as the dialog rounds it;
  // the frame's corner is mapped separately from the area's. Any other
  // size keeps the dialog's proportions.
  const int bx = BaseUnitFor(areaWidth, 165, 4);
  const int by = BaseUnitFor(areaHeight, 150, 8);
  if (bx > 0 && by > 0) {
    g.width = DialogPixels(200, bx, 4);
    g.height = DialogPixels(185, by, 8) - 1;
    g.areaX = DialogPixels(35, bx, 4) - DialogPixels(20, bx, 4);
    g.areaY = DialogPixels(15, by, 8);
    return g;
  }
  g.width = RoundedShare(areaWidth, 200, 165);
  g.height = RoundedShare(areaHeight, 185, 150) - 1;
  g.areaX = RoundedShare(areaWidth, 15, 165);
  g.areaY = RoundedShare(areaHeight, 15, 150);
  return g;
}

bool FormatForName(const std::string &name, OutputFormat *format) {
  std::string::size_type dot = name.rfind('.');
  if (dot == std::string::npos || name.find('/', dot) != std::string::npos)
    return false;
  const char *ext = name.c_str() + dot + 1;
  if (strcasecmp(ext, "png") == 0)
    *format = OutputFormat::kPng;
  else if (strcasecmp(ext, "svg") == 0)
    *format = OutputFormat::kSvg;
  else if (strcasecmp(ext, "pdf") == 0)
    *format = OutputFormat::kPdf;
  else
    return false;
  return true;
}

LabelMetrics SelectLabelFont(cairo_t *cr, const RenderOptions &options) {
  cairo_select_font_face(cr, kLabelFamily, CAIRO_FONT_SLANT_NORMAL,
                         CAIRO_FONT_WEIGHT_BOLD);
  // A line of a sixteenth of the sketch area's height: the dialog's
  // proportion between its font and its sketch area.
  cairo_set_font_size(cr, 1.0);
  KeepScaledFont(cr);
  cairo_font_extents_t unit;
  cairo_font_extents(cr, &unit);
  cairo_set_font_size(cr, options.areaHeight / 16.0 / unit.height);

  cairo_font_options_t *fo = cairo_font_options_create();
  cairo_font_options_set_antialias(
      fo, options.antialias ? CAIRO_ANTIALIAS_GRAY : CAIRO_ANTIALIAS_NONE);
  cairo_font_options_set_hint_metrics(fo, CAIRO_HINT_METRICS_OFF);
  cairo_set_font_options(cr, fo);
  cairo_font_options_destroy(fo);

  KeepScaledFont(cr);
  cairo_font_extents_t fe;
  cairo_font_extents(cr, &fe);
  // The labels are digits, so their mean advance is the width that centres
  // "12" and "6" on the sketch area.
  cairo_text_extents_t digits;
  cairo_text_extents(cr, "0123456789", &digits);
  LabelMetrics m;
  m.lineHeight = static_cast<int>(lround(fe.ascent + fe.descent));
  m.averageWidth = static_cast<int>(lround(digits.x_advance / 10));
  return m;
}

void DrawSketch(cairo_t *cr, const StoredValues &values,
                const RenderOptions &options) {
  const PictureGeometry g = GeometryFor(options.areaWidth, options.areaHeight);
  const IntRect client = {0, 0, g.areaWidth, g.areaHeight};

  cairo_save(cr);
  cairo_set_antialias(cr, options.antialias ? CAIRO_ANTIALIAS_DEFAULT
                                            : CAIRO_ANTIALIAS_NONE);
  cairo_rectangle(cr, 0, 0, g.width, g.height);
  cairo_clip(cr);
  SetColour(cr, kDialogFace);
  cairo_paint(cr);

  cairo_translate(cr, g.areaX, g.areaY);
  SetColour(cr, kSketchArea);
  cairo_rectangle(cr, 0, 0, g.areaWidth, g.areaHeight);
  cairo_fill(cr);

  // The disc, inside the ellipse of the whole area.
  const DiscLayout disc = LayoutDisc(client);
  cairo_save(cr);
  if (EllipsePath(cr, disc.clip, kClipInset)) {
    cairo_clip(cr);
    // The 2-pixel pen reaches one pixel beyond a thin outline on the left
    // and top only.
    const IntRect wide = {disc.disc.left - 1, disc.disc.top - 1,
                          disc.disc.right, disc.disc.bottom};
    if (EllipsePath(cr, wide)) {
      SetColour(cr, kDisc);
      cairo_fill(cr);
    }
  }
  cairo_restore(cr);

  // The cup, clipped as Redraw clips it: to the area's ellipse inset by 5.
  const IntRect cup =
      LayoutCup(client, values.horizontal.c_str(), values.vertical.c_str(),
                values.rim.c_str(), values.position.c_str());
  cairo_save(cr);
  if (EllipsePath(cr, CupClipRect(client), kClipInset)) {
    cairo_clip(cr);
    if (EllipsePath(cr, cup)) {
      SetColour(cr, kCup);
      cairo_fill(cr);
    }
  }
  cairo_restore(cr);

  // The greyed hour labels, whose cells start at the layout's corners.
  const LabelMetrics m = SelectLabelFont(cr, options);
  cairo_font_extents_t fe;
  cairo_font_extents(cr, &fe);
  RingLabel labels[kRingLabelCount];
  LayoutRing(client, m.lineHeight, m.averageWidth, labels);
  SetColour(cr, options.darkFigures ? kDarkLabel : kGreyedLabel);
  for (const RingLabel &label : labels) {
    cairo_move_to(cr, label.xPos, label.yPos + fe.ascent);
    cairo_show_text(cr, label.text);
  }
  cairo_restore(cr);
}

cairo_surface_t *RenderToImage(const StoredValues &values,
                               const RenderOptions &options) {
  const PictureGeometry g = GeometryFor(options.areaWidth, options.areaHeight);
  cairo_surface_t *surface =
      cairo_image_surface_create(CAIRO_FORMAT_RGB24, g.width, g.height);
  cairo_t *cr = cairo_create(surface);
  DrawSketch(cr, values, options);
  cairo_destroy(cr);
  return surface;
}

bool RenderToFile(const StoredValues &values, const RenderOptions &options,
                  const std::string &path, std::string *error) {
  OutputFormat format;
  if (!FormatForName(path, &format)) {
    *error = "\"" + path + "\" does not end in .png, .svg or .pdf";
    return false;
  }
  if (format == OutputFormat::kPng) {
    cairo_surface_t *surface = RenderToImage(values, options);
    const bool written = WritePngFile(surface, path, error);
    cairo_surface_destroy(surface);
    return written;
  }
  // One point per pixel, so the vector picture has the raster's size.
  const PictureGeometry g = GeometryFor(options.areaWidth, options.areaHeight);
  std::string svg; // the SVG is written once its ids are steady
  cairo_surface_t *surface =
      format == OutputFormat::kSvg
          ? cairo_svg_surface_create_for_stream(AppendSvg, &svg, g.width,
                                                g.height)
          : cairo_pdf_surface_create(path.c_str(), g.width, g.height);
  cairo_t *cr = cairo_create(surface);
  DrawSketch(cr, values, options);
  cairo_destroy(cr);
  cairo_surface_finish(surface);
  const cairo_status_t status = cairo_surface_status(surface);
  cairo_surface_destroy(surface);
  if (status != CAIRO_STATUS_SUCCESS) {
    *error = "cannot write \"" + path + "\": " + cairo_status_to_string(status);
    return false;
  }
  if (format == OutputFormat::kSvg) {
    svg = SurfaceIdsFromOne(svg);
    FILE *file = fopen(path.c_str(), "wb");
    bool written =
        file && fwrite(svg.data(), 1, svg.size(), file) == svg.size();
    written = file && fclose(file) == 0 && written;
    if (!written) {
      *error = "cannot write \"" + path + "\": " + strerror(errno);
      return false;
    }
  }
  return true;
}
