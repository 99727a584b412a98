// The chart of a patient's cup-to-disc ratios against time, drawn with
// cairo for the web page (through an SVG surface) and the PDF alike.
#pragma once

#include "orbitrace-render/history/flag_rules.h"
#include "orbitrace-render/history/report_font.h"

#include <cairo.h>

#include <string>
#include <vector>

// Series colours, also looked for by the report's picture tests.
struct ChartColour {
  int r, g, b;
};
extern const ChartColour kChartEyeColour[2]; // right, left

// A label of the chart: its left, centre or right (align 0, .5, 1) at x,
// its baseline at y, in a grey of `grey` (0 black, 1 white).
struct ChartLabel {
  std::string text;
  double x, y, align, grey;
};

// What of a chart is drawn: the frame is the same in every chart of a
// size (background, ratio grid, threshold and legend), so a report can
// draw it once and show it under each patient's dates and series. The
// patient's part is the dates along the foot, which depend on the first
// and last visit alone, and the series.
enum class ChartParts { kWhole, kFrame, kPatients, kDates, kSeries };

// Draws the chart into the rectangle (0, 0, width, height) of `cr`: both
// eyes' vertical ratios as solid lines with round marks, the horizontal
// ones dashed with square marks, and the high-ratio threshold, with text
// of `fontSize` user units laid out by `text`. With `labels`, the text is
// not drawn but put there, for a page to write as text of its own.
void DrawChart(cairo_t *cr, const PatientHistory &history,
               const FlagThresholds &thresholds, double width, double height,
               double fontSize, ReportText *text,
               std::vector<ChartLabel> *labels = nullptr,
               ChartParts parts = ChartParts::kWhole);
