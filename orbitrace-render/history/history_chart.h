// The chart of a patient's cup-to-disc ratios against time, drawn with
// cairo for the web page (through an SVG surface) and the PDF alike.
#pragma once

#include "orbitrace-render/history/flag_rules.h"

#include <cairo.h>

// Series colours, also looked for by the report's picture tests.
struct ChartColour {
  int r, g, b;
};
extern const ChartColour kChartEyeColour[2]; // right, left

// Draws the chart into the rectangle (0, 0, width, height) of `cr`: both
// eyes' vertical ratios as solid lines with round marks, the horizontal
// ones dashed with square marks, and the high-ratio threshold, with text
// of `fontSize` user units.
void DrawChart(cairo_t *cr, const PatientHistory &history,
               const FlagThresholds &thresholds, double width, double height,
               double fontSize);
