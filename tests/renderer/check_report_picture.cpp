// Checks pictures of a visit-history report, as a browser or pdftoppm
// shows them, against the sketches and charts the report should hold:
//   check_report_picture EXPECTED PAGE.png [PAGE.png ...]
// Pages are read as one tall picture. EXPECTED lists each patient's
// section in order:
//   patient
//   R .35|.40|2|-.25 - .45|.60|1|-.20     (right eye: values or "-")
//   L .30|.35|10|.50 .30|.40|10|.50 -
//   chart R L                              (the eyes the chart has)
// with R and L lines repeated for every band of dates. Every disc must be
// whole and of one size, lie in its row and date column, and have its cup
// where the layout puts it for its values; a chart in the eyes' colours
// must follow the section's sketches.
#include "orbitrace-render/history/history_chart.h"
#include "orbitrace-render/sketch_cairo.h"
#include "render/cup_layout.h"
#include "render/disc_layout.h"

#include <cairo.h>
#include <math.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Rgb {
  int r, g, b;
};
const Rgb kDisc = {230, 87, 26}, kCup = {255, 255, 0};
const int kTolerance = 3;

struct Picture {
  int width = 0, height = 0;
  std::vector<uint32_t> pixels; // 0xRRGGBB
  bool Is(int x, int y, const Rgb &c) const {
    if (x < 0 || y < 0 || x >= width || y >= height)
      return false;
    const uint32_t p = pixels[static_cast<size_t>(y) * width + x];
    return abs(static_cast<int>(p >> 16 & 0xFF) - c.r) <= kTolerance &&
           abs(static_cast<int>(p >> 8 & 0xFF) - c.g) <= kTolerance &&
           abs(static_cast<int>(p & 0xFF) - c.b) <= kTolerance;
  }
};

struct Box {
  int left, top, right, bottom; // inclusive
  int area;
  double cx() const { return (left + right) / 2.0; }
  double cy() const { return (top + bottom) / 2.0; }
};

struct Row {
  char eye;
  std::vector<std::string> cells; // values or "-"
};
struct Section {
  std::vector<Row> rows; // R, L, R, L...
  std::string chartEyes;
};

int failures = 0;

void Check(bool ok, const std::string &what) {
  printf("%s: %s\n", ok ? "ok" : "FAIL", what.c_str());
  if (!ok)
    ++failures;
}

bool LoadPages(int count, char **names, Picture *picture) {
  for (int i = 0; i < count; ++i) {
    cairo_surface_t *s = cairo_image_surface_create_from_png(names[i]);
    if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
      fprintf(stderr, "cannot read %s\n", names[i]);
      return false;
    }
    cairo_surface_flush(s);
    const int w = cairo_image_surface_get_width(s);
    const int h = cairo_image_surface_get_height(s);
    picture->width = std::max(picture->width, w);
    std::vector<uint32_t> page(static_cast<size_t>(picture->width) * h,
                               0xFFFFFF);
    for (int y = 0; y < h; ++y) {
      const uint32_t *row = reinterpret_cast<const uint32_t *>(
          cairo_image_surface_get_data(s) +
          y * cairo_image_surface_get_stride(s));
      for (int x = 0; x < w; ++x)
        page[static_cast<size_t>(y) * picture->width + x] = row[x] & 0xFFFFFF;
    }
    picture->pixels.insert(picture->pixels.end(), page.begin(), page.end());
    picture->height += h;
    cairo_surface_destroy(s);
  }
  return true;
}

// Regions of one colour, 4-connected, of at least `minArea` pixels, in
// reading order.
std::vector<Box> Regions(const Picture &p, const Rgb &colour, int minArea) {
  std::vector<Box> boxes;
  std::vector<bool> seen(p.pixels.size());
  std::vector<std::pair<int, int>> stack;
  for (int y = 0; y < p.height; ++y) {
    for (int x = 0; x < p.width; ++x) {
      if (seen[static_cast<size_t>(y) * p.width + x] || !p.Is(x, y, colour))
        continue;
      Box b = {x, y, x, y, 0};
      stack.push_back({x, y});
      seen[static_cast<size_t>(y) * p.width + x] = true;
      while (!stack.empty()) {
        auto [px, py] = stack.back();
        stack.pop_back();
        ++b.area;
        b.left = std::min(b.left, px), b.right = std::max(b.right, px);
        b.top = std::min(b.top, py), b.bottom = std::max(b.bottom, py);
        const int next[4][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
        for (const auto &n : next) {
          const int nx = px + n[0], ny = py + n[1];
          if (nx < 0 || ny < 0 || nx >= p.width || ny >= p.height)
            continue;
          const size_t at = static_cast<size_t>(ny) * p.width + nx;
          if (!seen[at] && p.Is(nx, ny, colour)) {
            seen[at] = true;
            stack.push_back({nx, ny});
          }
        }
      }
      if (b.area >= minArea)
        boxes.push_back(b);
    }
  }
  return boxes;
}

// Discs whose centres lie within half a disc of each other vertically.
std::vector<std::vector<Box>> Rows(std::vector<Box> discs) {
  std::sort(discs.begin(), discs.end(),
            [](const Box &a, const Box &b) { return a.cy() < b.cy(); });
  std::vector<std::vector<Box>> rows;
  for (const Box &d : discs) {
    if (rows.empty() ||
        d.cy() - rows.back().front().cy() > (d.bottom - d.top) / 2.0)
      rows.push_back({});
    rows.back().push_back(d);
  }
  for (auto &row : rows)
    std::sort(row.begin(), row.end(),
              [](const Box &a, const Box &b) { return a.cx() < b.cx(); });
  return rows;
}

bool ReadExpected(const char *path, std::vector<Section> *sections) {
  std::ifstream in(path);
  if (!in)
    return false;
  for (std::string line; std::getline(in, line);) {
    std::istringstream words(line);
    std::string first;
    if (!(words >> first))
      continue;
    if (first == "patient") {
      sections->push_back(Section());
    } else if (sections->empty()) {
      return false;
    } else if (first == "chart") {
      for (std::string eye; words >> eye;)
        sections->back().chartEyes += eye;
    } else {
      Row row{first[0], {}};
      for (std::string cell; words >> cell;)
        row.cells.push_back(cell);
      sections->back().rows.push_back(row);
    }
  }
  return true;
}

// Where the cup's centre lies in the picture, from the disc found there
// and the layout of the values.
void CheckCup(const Picture &p, const Box &disc, const std::string &text,
              const std::string &where) {
  StoredValues v;
  std::string error;
  if (!ParseValues(text, &v, &error)) {
    Check(false, where + ": expected values " + text + ": " + error);
    return;
  }
  const IntRect client = {0, 0, kDefaultAreaWidth, kDefaultAreaHeight};
  // The disc is painted over [left - 1, right] of its layout box.
  const IntRect d = LayoutDisc(client).disc;
  const double sx = (disc.right - disc.left + 1.0) / (d.right - d.left + 1);
  const double sy = (disc.bottom - disc.top + 1.0) / (d.bottom - d.top + 1);
  const IntRect cup =
      LayoutCup(client, v.horizontal.c_str(), v.vertical.c_str(), v.rim.c_str(),
                v.position.c_str());
  const double cx =
      disc.left + ((cup.left + cup.right) / 2.0 - (d.left - 1)) * sx;
  const double cy =
      disc.top + ((cup.top + cup.bottom) / 2.0 - (d.top - 1)) * sy;
  const int x = static_cast<int>(cx), y = static_cast<int>(cy);
  char got[96];
  snprintf(got, sizeof got, " (cup centre expected at %d,%d)", x, y);
  Check(p.Is(x, y, kCup) && p.Is(x - 2, y, kCup) && p.Is(x + 2, y, kCup) &&
            p.Is(x, y - 2, kCup) && p.Is(x, y + 2, kCup),
        where + ": cup of " + text + " where the layout puts it" + got);
}

} // namespace

int main(int argc, char **argv) {
  if (argc < 3) {
    fprintf(stderr, "usage: check_report_picture EXPECTED PAGE.png...\n");
    return 2;
  }
  std::vector<Section> sections;
  Picture picture;
  if (!ReadExpected(argv[1], &sections) || sections.empty()) {
    fprintf(stderr, "cannot read the expected sections from %s\n", argv[1]);
    return 2;
  }
  if (!LoadPages(argc - 2, argv + 2, &picture))
    return 2;

  std::vector<std::vector<Box>> rows = Rows(Regions(picture, kDisc, 150));
  size_t expectedDiscs = 0;
  for (const Section &s : sections)
    for (const Row &r : s.rows)
      for (const std::string &c : r.cells)
        expectedDiscs += c != "-";
  size_t found = 0;
  for (const auto &r : rows)
    found += r.size();
  Check(found == expectedDiscs, "discs found: " + std::to_string(found) +
                                    ", expected " +
                                    std::to_string(expectedDiscs));
  if (found == 0)
    return 1;
  // One size for all: a disc cut by a page edge is smaller.
  const Box &model = rows[0][0];
  for (const auto &r : rows)
    for (const Box &b : r)
      Check(abs((b.right - b.left) - (model.right - model.left)) <= 2 &&
                abs((b.bottom - b.top) - (model.bottom - model.top)) <= 2,
            "disc at " + std::to_string(b.left) + "," + std::to_string(b.top) +
                " whole, " + std::to_string(b.right - b.left + 1) + "x" +
                std::to_string(b.bottom - b.top + 1) + " as the first");

  size_t next = 0; // the next row of discs found
  for (size_t s = 0; s < sections.size(); ++s) {
    const Section &section = sections[s];
    const std::string name = "patient " + std::to_string(s + 1);
    for (size_t band = 0; band < section.rows.size(); band += 2) {
      // The band's found rows, one per eye that has a sketch in it.
      std::vector<const std::vector<Box> *> found;
      std::vector<Box> all;
      for (size_t e = band; e < band + 2 && e < section.rows.size(); ++e) {
        const Row &row = section.rows[e];
        const size_t sketches =
            std::count_if(row.cells.begin(), row.cells.end(),
                          [](const std::string &c) { return c != "-"; });
        if (sketches == 0) {
          found.push_back(nullptr);
          continue;
        }
        if (next >= rows.size() || rows[next].size() != sketches) {
          Check(false,
                name + " " + row.eye + " row: " + std::to_string(sketches) +
                    " sketches expected, " +
                    (next < rows.size() ? std::to_string(rows[next].size())
                                        : std::string("no row")) +
                    " found");
          return 1;
        }
        found.push_back(&rows[next]);
        all.insert(all.end(), rows[next].begin(), rows[next].end());
        ++next;
      }
      // Date columns: the x of every disc in the band, clustered.
      std::sort(all.begin(), all.end(),
                [](const Box &a, const Box &b) { return a.cx() < b.cx(); });
      std::vector<double> columns;
      for (const Box &b : all)
        if (columns.empty() || b.cx() - columns.back() > 3)
          columns.push_back(b.cx());
      const size_t cells = section.rows[band].cells.size();
      Check(columns.size() == cells,
            name + " band at row " + std::to_string(band / 2 + 1) + ": " +
                std::to_string(columns.size()) + " date columns, expected " +
                std::to_string(cells));
      if (columns.size() != cells)
        continue;
      for (size_t e = 0; e < found.size(); ++e) {
        if (!found[e])
          continue;
        const Row &row = section.rows[band + e];
        size_t k = 0;
        for (size_t c = 0; c < row.cells.size(); ++c) {
          if (row.cells[c] == "-")
            continue;
          const Box &disc = (*found[e])[k++];
          const std::string where =
              name + " " + row.eye + " column " + std::to_string(c + 1);
          Check(fabs(disc.cx() - columns[c]) <= 3,
                where + ": in its date column");
          CheckCup(picture, disc, row.cells[c], where);
        }
      }
    }
    // The chart: the eyes' colours between this section's last row and
    // the next section's first, above the legend (the lowest line in
    // those colours), for the eyes it should have and for no other.
    const int top = rows[next - 1].front().bottom;
    const int bottom =
        next < rows.size() ? rows[next].front().top : picture.height;
    std::vector<int> counts[2];
    int legend = -1;
    for (int eye = 0; eye < 2; ++eye) {
      const ChartColour &c = kChartEyeColour[eye];
      counts[eye].assign(picture.height, 0);
      for (int y = top; y < bottom; ++y)
        for (int x = 0; x < picture.width; ++x)
          if (picture.Is(x, y, Rgb{c.r, c.g, c.b})) {
            ++counts[eye][y];
            legend = std::max(legend, y);
          }
    }
    Check(legend >= 0, name + " chart: found below the sketches");
    for (int eye = 0; eye < 2; ++eye) {
      int data = 0;
      for (int y = top; y < legend - 15; ++y)
        data += counts[eye][y];
      const char letter = eye == 0 ? 'R' : 'L';
      const bool wanted = section.chartEyes.find(letter) != std::string::npos;
      Check(wanted ? data >= 20 : data == 0,
            name + " chart: " + std::to_string(data) + " pixels of the " +
                letter + " eye's series, expected " +
                (wanted ? "20 or more" : "none"));
    }
  }
  Check(next == rows.size(), "every row of discs belongs to a section");
  printf("%d failed\n", failures);
  return failures == 0 ? 0 : 1;
}
