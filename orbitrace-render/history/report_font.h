// The report's text drawn with Pango: shaped, laid out in either direction,
// and each character from a font that has it, found through fontconfig's
// fallback, so names in any script print as themselves and not as boxes.
#pragma once

#include <cairo.h>
#include <pango/pangocairo.h>

#include <string>
#include <unordered_map>

// Texts laid out once and kept by font, width and text: a report repeats
// its dates, values, labels and captions, and laying a text out costs far
// more than drawing it again. Left to right whatever a text's first letter.
class ReportText {
public:
  // For drawing on `cr`'s surface (its font options).
  explicit ReportText(cairo_t *cr);
  ~ReportText();
  ReportText(const ReportText &) = delete;
  ReportText &operator=(const ReportText &) = delete;

  // The family every text asks for first, at `size` user units.
  void Font(double size, bool bold);
  double Width(cairo_t *cr, const std::string &text);
  // Draws `text` with its left, centre or right (align 0, .5, 1) at x and
  // its baseline at y; cut with an ellipsis to `maxWidth` when that is
  // over 0. Returns its width.
  double Show(cairo_t *cr, const std::string &text, double x, double y,
              double align = 0, double maxWidth = 0);

private:
  PangoLayout *Laid(cairo_t *cr, const std::string &text, double maxWidth);

  PangoContext *context_;
  PangoFontDescription *font_;
  std::string fontKey_;
  // Emptied when full, so memory stays bounded.
  std::unordered_map<std::string, PangoLayout *> kept_;
};
