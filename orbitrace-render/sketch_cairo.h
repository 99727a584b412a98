// The sketch picture drawn with cairo from the four stored values, as the
// plug-in's clipboard picture shows it: disc, clipped cup and greyed ring in
// the capture frame's area.
#pragma once

#include "orbitrace-render/sketch_values.h"

#include <cairo.h>

#include <string>

// The dialog's sketch area under Wine at 96 dpi.
enum { kDefaultAreaWidth = 289, kDefaultAreaHeight = 263 };

// The picture around a sketch area of the given pixel size, in the dialog's
// proportions: frame 200 x 185 and sketch area 165 x 150 dialog units, the
// area 15 units in from the frame's top left, and the frame's bottom row
// left out as the capture leaves it out.
struct PictureGeometry {
  int width, height; // the picture
  int areaX, areaY;  // the sketch area's top left in the picture
  int areaWidth, areaHeight;
};

PictureGeometry GeometryFor(int areaWidth, int areaHeight);

// The hour labels' line height and average character width, from the font
// the renderer uses at the size it uses for this sketch area.
struct LabelMetrics {
  int lineHeight;
  int averageWidth;
};

struct RenderOptions {
  int areaWidth = kDefaultAreaWidth;
  int areaHeight = kDefaultAreaHeight;
  // Off, every pixel is either in a shape or not, as the plug-in draws.
  bool antialias = false;
  // The hour figures dark instead of greyed, for a picture shown small
  // (the visit history's), where the plug-in's light grey cannot be read.
  bool darkFigures = false;
};

enum class OutputFormat { kPng, kSvg, kPdf };

// From the output name's extension (".png", ".svg", ".pdf", any case).
bool FormatForName(const std::string &name, OutputFormat *format);

// The label font's metrics for `cr` at this sketch area's size (sets the
// font on `cr`).
LabelMetrics SelectLabelFont(cairo_t *cr, const RenderOptions &options);

// Draws the whole picture with its top left at the origin of `cr`.
void DrawSketch(cairo_t *cr, const StoredValues &values,
                const RenderOptions &options);

// Draws into a file of the format its name says. False with a reason when
// the name has no known extension or the file can't be written.
bool RenderToFile(const StoredValues &values, const RenderOptions &options,
                  const std::string &path, std::string *error);

// The picture as an image surface (caller destroys it).
cairo_surface_t *RenderToImage(const StoredValues &values,
                               const RenderOptions &options);
