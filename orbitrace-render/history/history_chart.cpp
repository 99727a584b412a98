#include "orbitrace-render/history/history_chart.h"

#include "orbitrace-render/history/chart_points.h"
#include "orbitrace-render/history/report_font.h"
#include "orbitrace-render/history/visit_date.h"

#include <math.h>

#include <algorithm>
#include <string>

const ChartColour kChartEyeColour[2] = {{0, 90, 200}, {0, 140, 70}};

namespace {

void Colour(cairo_t *cr, const ChartColour &c) {
  cairo_set_source_rgb(cr, c.r / 255.0, c.g / 255.0, c.b / 255.0);
}

void Grey(cairo_t *cr, double level) {
  cairo_set_source_rgb(cr, level, level, level);
}

// Where the chart's text goes: drawn, or given to the caller's list.
struct ChartText {
  ReportText *text;
  std::vector<ChartLabel> *labels;
};

double Text(cairo_t *cr, const ChartText &t, const std::string &text, double x,
            double y, double align) {
  if (!t.labels)
    return t.text->Show(cr, text, x, y, align);
  double grey = 0, g, b, a;
  cairo_pattern_get_rgba(cairo_get_source(cr), &grey, &g, &b, &a);
  t.labels->push_back(ChartLabel{text, x, y, align, grey});
  return t.text->Width(cr, text);
}

void Mark(cairo_t *cr, bool round, double x, double y) {
  if (round)
    cairo_arc(cr, x, y, 3.5, 0, 2 * M_PI);
  else
    cairo_rectangle(cr, x - 3, y - 3, 6, 6);
  cairo_fill(cr);
}

// A short sample of a series' line and mark for the legend; returns where
// the next entry starts.
double LegendEntry(cairo_t *cr, const ChartText &t, double x, double y,
                   const ChartColour &colour, bool vertical,
                   const std::string &label) {
  Colour(cr, colour);
  const double dash[] = {4, 3};
  cairo_set_dash(cr, dash, vertical ? 0 : 2, 0);
  cairo_set_line_width(cr, vertical ? 2 : 1.5);
  cairo_move_to(cr, x, y - 3);
  cairo_line_to(cr, x + 24, y - 3);
  cairo_stroke(cr);
  cairo_set_dash(cr, nullptr, 0, 0);
  Mark(cr, vertical, x + 12, y - 3);
  Grey(cr, 0.2);
  return x + 30 + Text(cr, t, label, x + 30, y, 0) + 14;
}

void ThresholdLine(cairo_t *cr, double x0, double x1, double y) {
  const double dash[] = {2, 2};
  cairo_set_dash(cr, dash, 2, 0);
  cairo_set_source_rgb(cr, 0.6, 0.1, 0.1);
  cairo_set_line_width(cr, 1);
  cairo_move_to(cr, x0, y);
  cairo_line_to(cr, x1, y);
  cairo_stroke(cr);
  cairo_set_dash(cr, nullptr, 0, 0);
}

// Where the plot lies on the chart and the days and ratios it spans.
struct PlotArea {
  double left, right, top, bottom;
  double from, to; // days
  double X(int day) const {
    return left + (day - from) / (to - from) * (right - left);
  }
  double Y(int hundredths) const {
    return bottom - hundredths / 100.0 * (bottom - top);
  }
};

// The plot of the chart's size, its labels' room growing with `k`, over
// every visit's date: a little room at both ends, and a year around a
// single date.
PlotArea PlotFor(const PatientHistory &history, double width, double height,
                 double k) {
  int first = 0, last = 0;
  bool any = false;
  for (const std::vector<Visit> &visits : history.eyes) {
    for (const Visit &v : visits) {
      first = any ? std::min(first, v.date) : v.date;
      last = any ? std::max(last, v.date) : v.date;
      any = true;
    }
  }
  const int pad = last == first ? 182 : std::max(15, (last - first) / 25);
  return PlotArea{30 * k,
                  width - 12,
                  8,
                  height - 40 * k,
                  static_cast<double>(first - pad),
                  static_cast<double>(last + pad)};
}

// Ratio grid, 0 to 1, in fifths when there is room for their labels.
void RatioGrid(cairo_t *cr, const ChartText &t, const PlotArea &a, double k) {
  const int step = a.bottom - a.top >= 90 ? 20 : 50;
  cairo_set_line_width(cr, 0.5);
  for (int h = 0; h <= 100; h += step) {
    Grey(cr, h == 0 ? 0.35 : 0.82);
    cairo_move_to(cr, a.left, a.Y(h));
    cairo_line_to(cr, a.right, a.Y(h));
    cairo_stroke(cr);
    Grey(cr, 0.25);
    Text(cr, t, FormatHundredths(h), a.left - 5, a.Y(h) + 3 * k, 1);
  }
}

void TimeAxis(cairo_t *cr, const ChartText &t, const PlotArea &a, double k) {
  const int maxTicks = std::max(2, static_cast<int>((a.right - a.left) / 64));
  cairo_set_line_width(cr, 0.5);
  for (const DateTick &tick :
       DateTicks(static_cast<int>(ceil(a.from)), static_cast<int>(floor(a.to)),
                 maxTicks)) {
    Grey(cr, 0.35);
    cairo_move_to(cr, a.X(tick.days), a.bottom);
    cairo_line_to(cr, a.X(tick.days), a.bottom + 4);
    cairo_stroke(cr);
    Grey(cr, 0.25);
    Text(cr, t, tick.label, a.X(tick.days), a.bottom + 14 * k, 0.5);
  }
}

// One eye's vertical or horizontal ratios as a line with a mark at each
// visit.
void Series(cairo_t *cr, const PlotArea &a, const std::vector<Visit> &visits,
            int eye, int vertical) {
  auto Ratio = [&](const Visit &v) {
    return RatioHundredths(vertical ? v.values.vertical : v.values.horizontal);
  };
  // No more points than the chart's columns show, so that a chart of any
  // number of visits is of a bounded size.
  std::vector<ChartPoint> points;
  points.reserve(visits.size());
  for (const Visit &v : visits)
    points.push_back(ChartPoint{a.X(v.date), a.Y(Ratio(v))});
  points = ThinToColumns(points, 1);
  Colour(cr, kChartEyeColour[eye]);
  const double dash[] = {4, 3};
  cairo_set_dash(cr, dash, vertical ? 0 : 2, 0);
  cairo_set_line_width(cr, vertical ? 2 : 1.5);
  // The line starts at its first point, not where a label ended.
  cairo_new_path(cr);
  for (const ChartPoint &p : points)
    cairo_line_to(cr, p.x, p.y);
  cairo_stroke(cr);
  cairo_set_dash(cr, nullptr, 0, 0);
  for (const ChartPoint &p : points)
    Mark(cr, vertical, p.x, p.y);
}

// The legend along the chart's foot, from `x`: each series, then the
// threshold when there is one.
void Legend(cairo_t *cr, const ChartText &t, double x, double legend,
            const FlagThresholds &thresholds) {
  for (int eye = 0; eye < 2; ++eye)
    for (int vertical = 1; vertical >= 0; --vertical)
      x = LegendEntry(cr, t, x, legend, kChartEyeColour[eye], vertical,
                      std::string(eye == kRightEye ? "right " : "left ") +
                          (vertical ? "vertical" : "horizontal"));
  if (thresholds.high != kFlagOff) {
    ThresholdLine(cr, x, x + 24, legend - 3);
    Grey(cr, 0.2);
    Text(cr, t, FormatHundredths(thresholds.high), x + 30, legend, 0);
  }
}

} // namespace

void DrawChart(cairo_t *cr, const PatientHistory &history,
               const FlagThresholds &thresholds, double width, double height,
               double fontSize, ReportText *text,
               std::vector<ChartLabel> *labels, ChartParts parts) {
  cairo_save(cr);
  const ChartText t{text, labels};
  text->Font(fontSize, false);
  // Room for the labels grows with their size.
  const double k = fontSize / 9;
  const PlotArea area = PlotFor(history, width, height, k);
  const bool whole = parts == ChartParts::kWhole,
             patient = parts == ChartParts::kPatients;
  if (whole || parts == ChartParts::kFrame) {
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_rectangle(cr, 0, 0, width, height);
    cairo_fill(cr);
    RatioGrid(cr, t, area, k);
    // The high-ratio threshold.
    if (thresholds.high != kFlagOff)
      ThresholdLine(cr, area.left, area.right, area.Y(thresholds.high));
    Legend(cr, t, area.left, height - 6 * k, thresholds);
  }
  if (whole || patient || parts == ChartParts::kDates)
    TimeAxis(cr, t, area, k);
  if (whole || patient || parts == ChartParts::kSeries) {
    // Horizontal ratios first, so the vertical ones, which the flags are
    // about, lie on top.
    for (int vertical = 0; vertical < 2; ++vertical)
      for (int eye = 0; eye < 2; ++eye)
        if (!history.eyes[eye].empty())
          Series(cr, area, history.eyes[eye], eye, vertical);
  }
  cairo_restore(cr);
}
