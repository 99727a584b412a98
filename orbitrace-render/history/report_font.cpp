#include "orbitrace-render/history/report_font.h"

namespace {

const char kFamily[] = "DejaVu Sans";

void SetText(cairo_t *cr, PangoLayout *layout, const std::string &text,
             double maxWidth) {
  // The transform may have changed since the layout was last drawn.
  pango_cairo_update_layout(cr, layout);
  pango_layout_set_width(
      layout, maxWidth > 0 ? static_cast<int>(maxWidth * PANGO_SCALE) : -1);
  pango_layout_set_text(layout, text.data(), static_cast<int>(text.size()));
}

double Width(PangoLayout *layout) {
  PangoRectangle logical;
  pango_layout_get_extents(layout, nullptr, &logical);
  return static_cast<double>(logical.width) / PANGO_SCALE;
}

} // namespace

PangoLayout *CreateTextLayout(cairo_t *cr) {
  PangoLayout *layout = pango_cairo_create_layout(cr);
  pango_context_set_base_dir(pango_layout_get_context(layout),
                             PANGO_DIRECTION_LTR);
  pango_layout_set_auto_dir(layout, FALSE);
  // Widths as the font designs them: a PDF or an SVG is scaled by whoever
  // shows it, so pixel-rounded widths would only misplace the text.
  cairo_font_options_t *options = cairo_font_options_create();
  cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
  cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
  pango_cairo_context_set_font_options(pango_layout_get_context(layout),
                                       options);
  cairo_font_options_destroy(options);
  pango_layout_context_changed(layout);
  pango_layout_set_single_paragraph_mode(layout, TRUE);
  pango_layout_set_ellipsize(layout, PANGO_ELLIPSIZE_END);
  SetTextFont(layout, 10, false);
  return layout;
}

void SetTextFont(PangoLayout *layout, double size, bool bold) {
  PangoFontDescription *font = pango_font_description_new();
  pango_font_description_set_family(font, kFamily);
  pango_font_description_set_weight(font, bold ? PANGO_WEIGHT_BOLD
                                               : PANGO_WEIGHT_NORMAL);
  pango_font_description_set_absolute_size(font, size * PANGO_SCALE);
  pango_layout_set_font_description(layout, font);
  pango_font_description_free(font);
}

double TextWidth(cairo_t *cr, PangoLayout *layout, const std::string &text) {
  SetText(cr, layout, text, 0);
  return Width(layout);
}

double ShowText(cairo_t *cr, PangoLayout *layout, const std::string &text,
                double x, double y, double align, double maxWidth) {
  SetText(cr, layout, text, maxWidth);
  const double width = Width(layout);
  const double baseline =
      static_cast<double>(pango_layout_get_baseline(layout)) / PANGO_SCALE;
  cairo_move_to(cr, x - align * width, y - baseline);
  pango_cairo_show_layout(cr, layout);
  return width;
}
