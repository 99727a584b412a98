// A patient's visits in order, lined up by date, the flag rules at their
// boundaries, and the chart and text drawn for them.
#include "orbitrace-render/history/chart_points.h"
#include "orbitrace-render/history/flag_rules.h"
#include "orbitrace-render/history/history_chart.h"
#include "orbitrace-render/history/report_font.h"
#include "orbitrace-render/history/visit_date.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <string>
#include <vector>

namespace {

int Day(const char *iso) {
  int days = 0;
  EXPECT_TRUE(ParseIsoDate(iso, &days)) << iso;
  return days;
}

Visit At(const char *iso, const char *vertical, int line = 0) {
  return Visit{Day(iso), line, StoredValues{".30", vertical, "2", "0"}};
}

TEST(OrderVisits, SortsByDateAndKeepsTheFirstRowOfARepeatedDate) {
  PatientHistory h;
  h.eyes[kRightEye] = {At("2021-03-01", ".50", 4), At("2019-12-31", ".40", 9),
                       At("2021-03-01", ".60", 2), At("2020-01-01", ".45", 3)};
  std::vector<DuplicateVisit> duplicates;
  OrderVisits(&h, &duplicates);
  ASSERT_EQ(3u, h.eyes[kRightEye].size());
  EXPECT_EQ(9, h.eyes[kRightEye][0].line);
  EXPECT_EQ(3, h.eyes[kRightEye][1].line);
  EXPECT_EQ(2, h.eyes[kRightEye][2].line); // line 2 came first in the file
  ASSERT_EQ(1u, duplicates.size());
  EXPECT_EQ(4, duplicates[0].line);
  EXPECT_EQ(2, duplicates[0].firstLine);
}

// A chart drawn whole, and as a report draws it: its frame, then the
// patient's dates and series over it, together or one after the other. A
// series is its visits alone: no line runs to its first mark from where a
// label ended.
TEST(HistoryChart, DrawsEachSeriesFromItsFirstVisitOnly) {
  const int width = 515, height = 112; // the plot's ratio .50 at y 40
  PatientHistory h;
  const Visit both = {Day("2020-06-01"), 2, {".50", ".50", "2", "0"}};
  h.eyes[kRightEye] = {both};
  h.eyes[kLeftEye] = {both};
  const std::vector<std::vector<ChartParts>> ways = {
      {ChartParts::kWhole},
      {ChartParts::kFrame, ChartParts::kPatients},
      {ChartParts::kFrame, ChartParts::kDates, ChartParts::kSeries}};
  for (const std::vector<ChartParts> &parts : ways) {
    cairo_surface_t *surface =
        cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    cairo_t *cr = cairo_create(surface);
    ReportText text(cr);
    for (ChartParts part : parts)
      DrawChart(cr, h, FlagThresholds(), width, height, 9, &text, nullptr,
                part);
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    const unsigned char *data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    int coloured = 0, strays = 0;
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) {
        const unsigned char *p = data + y * stride + 4 * x; // B G R x
        // Either eye's blue or green, however faint its edge.
        if (p[0] - p[2] > 40 || p[1] - p[2] > 40) {
          ++coloured;
          // Below the marks and above the legend.
          strays += y > 46 && y < 97;
        }
      }
    cairo_surface_destroy(surface);
    EXPECT_GT(coloured, 0) << parts.size() << " part(s)";
    EXPECT_EQ(0, strays) << parts.size() << " part(s)";
  }
}

// A text shown again is painted from a drawing kept of it: the same pixels
// as its glyphs, in the colour of each time, every mark and accent inside
// the drawing, and the source as it was for whatever is drawn next.
TEST(ReportText, PaintsAKeptTextAsItsGlyphs) {
  const int shows = ReportText::kDrawnFromShow + 1, width = 60 * 3 * shows,
            height = 40;
  // Each colour until the text is painted from its drawing, then again in
  // the first colour.
  const struct {
    double r, g, b;
  } colours[] = {{0.8, 0, 0}, {0, 0, 0.8}, {0.8, 0, 0}};
  unsigned char *pixels[2];
  cairo_surface_t *surfaces[2];
  for (int keep = 0; keep < 2; ++keep) {
    surfaces[keep] =
        cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    cairo_t *cr = cairo_create(surfaces[keep]);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    ReportText text(cr, keep == 1);
    text.Font(13, false);
    double x = 4;
    for (const auto &c : colours)
      for (int i = 0; i < shows; ++i) {
        cairo_set_source_rgb(cr, c.r, c.g, c.b);
        // Centred, so that its width places it; below the baseline and
        // above the capitals.
        x += text.Show(cr, "\u00C5gy", x + 20, 22, 0.5) + 10;
        cairo_rectangle(cr, x, 30, 6, 6);
        cairo_fill(cr);
        x += 10;
      }
    cairo_destroy(cr);
    cairo_surface_flush(surfaces[keep]);
    pixels[keep] = cairo_image_surface_get_data(surfaces[keep]);
  }
  const int stride = cairo_image_surface_get_stride(surfaces[0]);
  int differing = 0, inked = 0;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      for (int c = 0; c < 3; ++c) {
        const int a = pixels[0][y * stride + 4 * x + c];
        const int b = pixels[1][y * stride + 4 * x + c];
        differing += abs(a - b) > 8;
        inked += a < 128;
      }
  EXPECT_GT(inked, 0);
  EXPECT_EQ(0, differing);
  for (cairo_surface_t *surface : surfaces)
    cairo_surface_destroy(surface);
}

TEST(AlignByDate, GivesEveryDateAColumnWithEachEyesVisitOrNone) {
  PatientHistory h;
  h.eyes[kRightEye] = {At("2020-01-01", ".4"), At("2020-06-01", ".4"),
                       At("2021-01-01", ".4")};
  h.eyes[kLeftEye] = {At("2020-01-01", ".4"), At("2021-01-01", ".4"),
                      At("2022-01-01", ".4")};
  const std::vector<VisitColumn> c = AlignByDate(h);
  ASSERT_EQ(4u, c.size());
  const int expected[4][2] = {{0, 0}, {1, -1}, {2, 1}, {-1, 2}};
  for (size_t i = 0; i < c.size(); ++i) {
    EXPECT_EQ(expected[i][0], c[i].visit[kRightEye]) << i;
    EXPECT_EQ(expected[i][1], c[i].visit[kLeftEye]) << i;
  }
  EXPECT_EQ(Day("2022-01-01"), c[3].date);
}

// The flags of a history, as kind and eye and the dates they name.
std::string Flags(const PatientHistory &h, const FlagThresholds &t = {}) {
  std::string s;
  for (const Flag &f : FindFlags(h, t)) {
    s += f.kind == kFlagRise         ? "rise"
         : f.kind == kFlagDifference ? "diff"
                                     : "high";
    s += f.eye == kRightEye ? "R" : f.eye == kLeftEye ? "L" : "";
    for (const FlagPoint &p : f.points)
      s += " " + FormatIsoDate(p.date);
    s += ";";
  }
  return s;
}

TEST(ThinToColumns, KeepsEachColumnsFirstLowestHighestAndLastInOrder) {
  // Column 0: five points; column 1: one; column 3: two equal ones.
  const std::vector<ChartPoint> points = {{0.1, 5}, {0.2, 9}, {0.5, 1},
                                          {0.6, 4}, {0.9, 6}, {1.5, 3},
                                          {3.0, 2}, {3.5, 2}};
  const std::vector<ChartPoint> thin = ThinToColumns(points, 1);
  const double kept[][2] = {{0.1, 5}, {0.2, 9}, {0.5, 1}, {0.9, 6},
                            {1.5, 3}, {3.0, 2}, {3.5, 2}};
  ASSERT_EQ(sizeof kept / sizeof *kept, thin.size());
  for (size_t i = 0; i < thin.size(); ++i) {
    EXPECT_EQ(kept[i][0], thin[i].x) << i;
    EXPECT_EQ(kept[i][1], thin[i].y) << i;
  }
  // A million points across 600 columns: at most four a column.
  std::vector<ChartPoint> many;
  for (int i = 0; i < 1000000; ++i)
    many.push_back(
        ChartPoint{i * 600.0 / 1000000, static_cast<double>(i % 97)});
  EXPECT_LE(ThinToColumns(many, 1).size(), 2400u);
}

TEST(FindFlags, HoldsAtTheirThresholdsAndNotBelow) {
  const struct {
    const char *name;
    std::vector<Visit> right, left;
    const char *flags;
  } cases[] = {
      {"rise of .20 since the first visit",
       {At("2020-01-01", ".40"), At("2021-01-01", ".55"),
        At("2022-01-01", ".60")},
       {},
       "riseR 2022-01-01;"},
      {"rise of .15 only",
       {At("2020-01-01", ".40"), At("2021-01-01", ".55")},
       {},
       ""},
      {"a rise from a later low is not since the first visit",
       {At("2020-01-01", ".40"), At("2021-01-01", ".25"),
        At("2022-01-01", ".55")},
       {},
       ""},
      {"the first visit sets the base even if rows come late",
       {At("2022-01-01", ".60"), At("2020-01-01", ".40")},
       {},
       "riseR 2022-01-01;"},
      {"eyes differ by .20 on one date",
       {At("2020-01-01", ".30"), At("2021-01-01", ".30")},
       {At("2020-01-01", ".45"), At("2021-01-01", ".50")},
       "diff 2021-01-01;"},
      {"a difference across different dates does not count",
       {At("2020-01-01", ".30")},
       {At("2020-01-02", ".60")},
       ""},
      {"a vertical ratio of .70 and not .65",
       {At("2020-01-01", ".65")},
       {At("2020-01-01", ".70"), At("2021-01-01", ".75")},
       "highL 2020-01-01 2021-01-01;"},
      {"all three, in order",
       {At("2020-01-01", ".50"), At("2021-01-01", ".70")},
       {At("2020-01-01", ".50"), At("2021-01-01", ".50")},
       "riseR 2021-01-01;diff 2021-01-01;highR 2021-01-01;"},
  };
  for (const auto &c : cases) {
    PatientHistory h;
    h.eyes[kRightEye] = c.right;
    h.eyes[kLeftEye] = c.left;
    std::vector<DuplicateVisit> duplicates;
    OrderVisits(&h, &duplicates);
    EXPECT_EQ(c.flags, Flags(h)) << c.name;
  }
}

TEST(FindFlags, FollowsChangedThresholdsAndTurnsRulesOff) {
  PatientHistory h;
  h.eyes[kRightEye] = {At("2020-01-01", ".40"), At("2021-01-01", ".50")};
  h.eyes[kLeftEye] = {At("2021-01-01", ".60")};
  FlagThresholds t;
  EXPECT_EQ("", Flags(h, t));
  t.rise = 10;
  t.difference = 10;
  t.high = 60;
  EXPECT_EQ("riseR 2021-01-01;diff 2021-01-01;highL 2021-01-01;", Flags(h, t));
  t.rise = t.difference = t.high = kFlagOff;
  EXPECT_EQ("", Flags(h, t));
}

TEST(FindFlags, SaysWhatWasMeasured) {
  PatientHistory h;
  h.eyes[kLeftEye] = {At("2019-03-01", ".35"), At("2022-05-02", ".60")};
  const std::vector<Flag> flags = FindFlags(h, FlagThresholds());
  ASSERT_EQ(1u, flags.size());
  EXPECT_EQ("Left eye: the vertical cup-to-disc ratio rose by .20 or more "
            "since the first visit (.35 on 2019-03-01): .60 on 2022-05-02.",
            FlagSentence(flags[0], FlagThresholds()));
}

TEST(ParseThreshold, ReadsRatiosExactlyAndRefusesTheRest) {
  const struct {
    const char *text;
    int hundredths; // -2: refused
  } cases[] = {{".20", 20},   {"0.2", 20},       {".05", 5}, {"1", 100},
               {"1.00", 100}, {"off", kFlagOff}, {"0", -2},  {"1.01", -2},
               {".205", -2},  {"-.2", -2},       {"", -2},   {".", -2},
               {"20%", -2}};
  for (const auto &c : cases) {
    int h = -3;
    std::string error;
    EXPECT_EQ(c.hundredths != -2, ParseThreshold(c.text, &h, &error)) << c.text;
    if (c.hundredths != -2) {
      EXPECT_EQ(c.hundredths, h) << c.text;
    }
  }
}

} // namespace
