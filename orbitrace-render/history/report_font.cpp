#include "orbitrace-render/history/report_font.h"

#include <stdio.h>

namespace {

const char kFamily[] = "DejaVu Sans";
const size_t kLayoutsKept = 1024;

double Width(PangoLayout *layout) {
  PangoRectangle logical;
  pango_layout_get_extents(layout, nullptr, &logical);
  return static_cast<double>(logical.width) / PANGO_SCALE;
}

} // namespace

ReportText::ReportText(cairo_t *cr)
    : context_(pango_cairo_create_context(cr)),
      font_(pango_font_description_new()) {
  pango_context_set_base_dir(context_, PANGO_DIRECTION_LTR);
  // Widths as the font designs them: a PDF or an SVG is scaled by whoever
  // shows it, so pixel-rounded widths would only misplace the text.
  cairo_font_options_t *options = cairo_font_options_create();
  cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
  cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
  pango_cairo_context_set_font_options(context_, options);
  cairo_font_options_destroy(options);
  pango_font_description_set_family(font_, kFamily);
  Font(10, false);
}

ReportText::~ReportText() {
  for (auto &kept : kept_)
    g_object_unref(kept.second);
  pango_font_description_free(font_);
  g_object_unref(context_);
}

void ReportText::Font(double size, bool bold) {
  pango_font_description_set_weight(font_, bold ? PANGO_WEIGHT_BOLD
                                                : PANGO_WEIGHT_NORMAL);
  pango_font_description_set_absolute_size(font_, size * PANGO_SCALE);
  char key[48];
  snprintf(key, sizeof key, "%d %.17g", bold ? 1 : 0, size);
  fontKey_ = key;
}

PangoLayout *ReportText::Laid(cairo_t *cr, const std::string &text,
                              double maxWidth) {
  // The transform may have changed since the context was last drawn with.
  pango_cairo_update_context(cr, context_);
  const int width =
      maxWidth > 0 ? static_cast<int>(maxWidth * PANGO_SCALE) : -1;
  const std::string key = fontKey_ + '\n' + std::to_string(width) + '\n' + text;
  auto found = kept_.find(key);
  if (found != kept_.end())
    return found->second;
  if (kept_.size() >= kLayoutsKept) {
    for (auto &kept : kept_)
      g_object_unref(kept.second);
    kept_.clear();
  }
  PangoLayout *layout = pango_layout_new(context_);
  pango_layout_set_auto_dir(layout, FALSE);
  pango_layout_set_single_paragraph_mode(layout, TRUE);
  pango_layout_set_ellipsize(layout, PANGO_ELLIPSIZE_END);
  pango_layout_set_font_description(layout, font_);
  pango_layout_set_width(layout, width);
  pango_layout_set_text(layout, text.data(), static_cast<int>(text.size()));
  kept_.emplace(key, layout);
  return layout;
}

double ReportText::Width(cairo_t *cr, const std::string &text) {
  return ::Width(Laid(cr, text, 0));
}

double ReportText::Show(cairo_t *cr, const std::string &text, double x,
                        double y, double align, double maxWidth) {
  PangoLayout *layout = Laid(cr, text, maxWidth);
  const double width = ::Width(layout);
  const double baseline =
      static_cast<double>(pango_layout_get_baseline(layout)) / PANGO_SCALE;
  cairo_move_to(cr, x - align * width, y - baseline);
  pango_cairo_show_layout(cr, layout);
  return width;
}
