#include "orbitrace-render/history/report_font.h"

#include <stdlib.h>
#include <string.h>

#include <algorithm>

namespace {

const char kFamily[] = "DejaVu Sans";
const size_t kLayoutsKept = 1024;

double Width(PangoLayout *layout) {
  PangoRectangle logical;
  pango_layout_get_extents(layout, nullptr, &logical);
  return static_cast<double>(logical.width) / PANGO_SCALE;
}

} // namespace

void SetDrawingId(cairo_surface_t *surface, const std::string &id) {
  if (unsigned char *copy = static_cast<unsigned char *>(malloc(id.size()))) {
    memcpy(copy, id.data(), id.size());
    if (cairo_surface_set_mime_data(surface, CAIRO_MIME_TYPE_UNIQUE_ID, copy,
                                    id.size(), free, copy))
      free(copy);
  }
}

ReportText::ReportText(cairo_t *cr, bool keepDrawings)
    : context_(pango_cairo_create_context(cr)),
      font_(pango_font_description_new()),
      targetOptions_(cairo_font_options_create()),
      contextOptions_(cairo_font_options_create()),
      keepDrawings_(keepDrawings) {
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

namespace {

void LetGo(std::unordered_map<std::string, ReportText::Kept> *kept) {
  for (auto &k : *kept) {
    g_object_unref(k.second.layout);
    if (k.second.drawing)
      cairo_surface_destroy(k.second.drawing);
  }
  kept->clear();
}

} // namespace

ReportText::~ReportText() {
  LetGo(&kept_);
  LetGo(&older_);
  cairo_font_options_destroy(targetOptions_);
  cairo_font_options_destroy(contextOptions_);
  pango_font_description_free(font_);
  g_object_unref(context_);
}

void ReportText::Font(double size, bool bold) {
  pango_font_description_set_weight(font_, bold ? PANGO_WEIGHT_BOLD
                                                : PANGO_WEIGHT_NORMAL);
  pango_font_description_set_absolute_size(font_, size * PANGO_SCALE);
  // The size's own bits: exact, and cheaper than printing it.
  fontKey_.assign(1, bold ? 'b' : 'r');
  fontKey_.append(reinterpret_cast<const char *>(&size), sizeof size);
}

ReportText::Kept &ReportText::Layout(cairo_t *cr, const std::string &text,
                                     double maxWidth, std::string *key) {
  UpdateContext(cr);
  const int width =
      maxWidth > 0 ? static_cast<int>(maxWidth * PANGO_SCALE) : -1;
  key->assign(fontKey_);
  key->append(reinterpret_cast<const char *>(&width), sizeof width);
  key->append(text);
  auto found = kept_.find(*key);
  if (found != kept_.end())
    return found->second;
  Kept laid;
  auto old = older_.find(*key);
  if (old != older_.end()) {
    // Still in use: moved to the newer generation.
    laid = old->second;
    older_.erase(old);
  } else {
    laid.layout = pango_layout_new(context_);
    pango_layout_set_auto_dir(laid.layout, FALSE);
    pango_layout_set_single_paragraph_mode(laid.layout, TRUE);
    pango_layout_set_ellipsize(laid.layout, PANGO_ELLIPSIZE_END);
    pango_layout_set_font_description(laid.layout, font_);
    pango_layout_set_width(laid.layout, width);
    pango_layout_set_text(laid.layout, text.data(),
                          static_cast<int>(text.size()));
  }
  if (kept_.size() >= kLayoutsKept) {
    LetGo(&older_);
    older_.swap(kept_);
  }
  return kept_.emplace(*key, laid).first->second;
}

cairo_surface_t *ReportText::Drawing(const std::string &key, Kept *kept) {
  PangoRectangle ink, logical;
  pango_layout_get_extents(kept->layout, &ink, &logical);
  // Room for every glyph's ink, and a point beyond.
  const double left = std::min(ink.x, logical.x) / double(PANGO_SCALE) - 1;
  const double top = std::min(ink.y, logical.y) / double(PANGO_SCALE) - 1;
  const double right = std::max(ink.x + ink.width, logical.x + logical.width) /
                           double(PANGO_SCALE) +
                       1;
  const double bottom =
      std::max(ink.y + ink.height, logical.y + logical.height) /
          double(PANGO_SCALE) +
      1;
  const cairo_rectangle_t extents = {left, top, right - left, bottom - top};
  cairo_surface_t *drawing =
      cairo_recording_surface_create(CAIRO_CONTENT_COLOR_ALPHA, &extents);
  cairo_t *cr = cairo_create(drawing);
  cairo_set_source_rgba(cr, kept->rgba[0], kept->rgba[1], kept->rgba[2],
                        kept->rgba[3]);
  cairo_move_to(cr, 0, 0);
  pango_cairo_show_layout(cr, kept->layout);
  cairo_destroy(cr);
  std::string id = "text ";
  id.append(reinterpret_cast<const char *>(kept->rgba), sizeof kept->rgba);
  SetDrawingId(drawing, id + key);
  return drawing;
}

void ReportText::UpdateContext(cairo_t *cr) {
  // Only when the transform or the surface's font options differ from the
  // last text's: Pango takes every update for a change, after which each
  // kept layout would be laid out again.
  cairo_matrix_t matrix;
  cairo_get_matrix(cr, &matrix);
  cairo_surface_get_font_options(cairo_get_target(cr), targetOptions_);
  if (contextUpdated_ && matrix.xx == matrix_.xx && matrix.yx == matrix_.yx &&
      matrix.xy == matrix_.xy && matrix.yy == matrix_.yy &&
      cairo_font_options_equal(targetOptions_, contextOptions_))
    return;
  pango_cairo_update_context(cr, context_);
  matrix_ = matrix;
  cairo_font_options_destroy(contextOptions_);
  contextOptions_ = cairo_font_options_copy(targetOptions_);
  contextUpdated_ = true;
}

double ReportText::Width(cairo_t *cr, const std::string &text) {
  std::string key;
  return ::Width(Layout(cr, text, 0, &key).layout);
}

double ReportText::ShowGlyphs(cairo_t *cr, const std::string &text, double x,
                              double y, double align, double maxWidth) {
  std::string key;
  PangoLayout *layout = Layout(cr, text, maxWidth, &key).layout;
  const double width = ::Width(layout);
  const double baseline =
      static_cast<double>(pango_layout_get_baseline(layout)) / PANGO_SCALE;
  cairo_move_to(cr, x - align * width, y - baseline);
  pango_cairo_show_layout(cr, layout);
  return width;
}

double ReportText::Show(cairo_t *cr, const std::string &text, double x,
                        double y, double align, double maxWidth) {
  double rgba[4];
  if (!keepDrawings_ ||
      cairo_pattern_get_rgba(cairo_get_source(cr), &rgba[0], &rgba[1], &rgba[2],
                             &rgba[3]) != CAIRO_STATUS_SUCCESS)
    return ShowGlyphs(cr, text, x, y, align, maxWidth);
  std::string key;
  Kept &kept = Layout(cr, text, maxWidth, &key);
  if (memcmp(rgba, kept.rgba, sizeof rgba) != 0) {
    memcpy(kept.rgba, rgba, sizeof rgba);
    kept.shown = 0;
    if (kept.drawing)
      cairo_surface_destroy(kept.drawing);
    kept.drawing = nullptr;
  }
  // A text shown a few times stays glyphs: a form of its own, and a
  // reference to it from each page, would cost more.
  if (++kept.shown < kDrawnFromShow)
    return ShowGlyphs(cr, text, x, y, align, maxWidth);
  if (!kept.drawing)
    kept.drawing = Drawing(key, &kept);
  const double width = ::Width(kept.layout);
  const double baseline =
      static_cast<double>(pango_layout_get_baseline(kept.layout)) / PANGO_SCALE;
  // The glyphs start where the path's current point is, which cairo keeps
  // to a 256th of a unit: the drawing is placed there too, so that it
  // lies exactly where they would. The path and the source stay as the
  // glyphs would leave them.
  cairo_move_to(cr, x - align * width, y - baseline);
  double left, top;
  cairo_get_current_point(cr, &left, &top);
  cairo_pattern_t *source = cairo_pattern_reference(cairo_get_source(cr));
  cairo_set_source_surface(cr, kept.drawing, left, top);
  cairo_paint(cr);
  cairo_set_source(cr, source);
  cairo_pattern_destroy(source);
  return width;
}
