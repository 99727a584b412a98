// The report's text drawn with Pango: shaped, laid out in either direction,
// and each character from a font that has it, found through fontconfig's
// fallback, so names in any script print as themselves and not as boxes.
#pragma once

#include <cairo.h>
#include <pango/pangocairo.h>

#include <string>
#include <unordered_map>

// Gives a kept drawing `id`, so that a drawing made again after the kept
// ones were let go is known to a PDF by it and not written twice.
void SetDrawingId(cairo_surface_t *surface, const std::string &id);

// Texts laid out once and kept by font, width and text: a report repeats
// its dates, values, labels and captions, and laying a text out costs far
// more than drawing it again. Left to right whatever a text's first letter.
class ReportText {
public:
  // For drawing on `cr`'s surface (its font options). With `keepDrawings`,
  // a text shown for the kDrawnFromShow-th time in the same font, colour
  // and width, and every time after, is painted from a drawing of it kept
  // since (see Show): the texts that a report repeats in every section.
  explicit ReportText(cairo_t *cr, bool keepDrawings = false);
  enum { kDrawnFromShow = 8 };
  ~ReportText();
  ReportText(const ReportText &) = delete;
  ReportText &operator=(const ReportText &) = delete;

  // The family every text asks for first, at `size` user units.
  void Font(double size, bool bold);
  double Width(cairo_t *cr, const std::string &text);
  // Draws `text` with its left, centre or right (align 0, .5, 1) at x and
  // its baseline at y; cut with an ellipsis to `maxWidth` when that is
  // over 0. Returns its width. A kept drawing is one form in a PDF that
  // every page refers to, instead of the glyphs and their places again.
  double Show(cairo_t *cr, const std::string &text, double x, double y,
              double align = 0, double maxWidth = 0);
  // As Show, always as glyphs: for text whose own extents mark a link.
  double ShowGlyphs(cairo_t *cr, const std::string &text, double x, double y,
                    double align = 0, double maxWidth = 0);

  // A kept text (public for the functions that let them go).
  struct Kept {
    PangoLayout *layout = nullptr;
    int shown = 0; // times shown in the colour of `drawing`
    double rgba[4] = {};
    cairo_surface_t *drawing = nullptr;
  };

private:
  // The text's layout and its key, found or made.
  Kept &Layout(cairo_t *cr, const std::string &text, double maxWidth,
               std::string *key);
  // The context made to match `cr`, when it does not already.
  void UpdateContext(cairo_t *cr);
  // The kept text drawn in its colour, for painting from.
  cairo_surface_t *Drawing(const std::string &key, Kept *kept);

  PangoContext *context_;
  PangoFontDescription *font_;
  std::string fontKey_;
  // What the context was last made to match: the transform (but for its
  // translation, which Pango leaves out) and the surface's font options.
  cairo_font_options_t *targetOptions_, *contextOptions_;
  cairo_matrix_t matrix_;
  bool contextUpdated_ = false;
  bool keepDrawings_;
  // Two generations: when the newer is full, the older is let go and the
  // newer takes its place, so memory stays bounded and the texts a report
  // keeps repeating stay however many others pass once.
  std::unordered_map<std::string, Kept> kept_, older_;
};
