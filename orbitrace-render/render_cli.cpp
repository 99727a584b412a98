#include "orbitrace-render/render_cli.h"

#include "orbitrace-render/history/history_report.h"

#include <chrono>
#include <fstream>
#include <iostream>
#include <sstream>
#include <vector>

#include "sketch/value_lists.h"

#include <errno.h>
#include <stdlib.h>

namespace {

const char kUsage[] =
    "usage: orbitrace-render [OPTIONS] VALUES OUTPUT\n"
    "       orbitrace-render [OPTIONS] --batch FILE|- PATTERN\n"
    "       orbitrace-render [--size WxH] --bench N\n"
    "\n"
    "Draws the sketch picture that the plug-in puts on the clipboard, from\n"
    "the four values its Draw call returns, e.g. \".30|.40|3|-.20\"\n"
    "(horizontal ratio, vertical ratio, location, rim; each exactly an item\n"
    "of its list). The format follows OUTPUT's extension: .png, .svg, .pdf.\n"
    "\n"
    "  --size WxH       the sketch area in pixels (default 289x263, the\n"
    "                   dialog's at 96 dpi); the picture adds the capture\n"
    "                   frame's margin in the dialog's proportions\n"
    "  --antialias      smooth edges; by default every pixel is in a shape or\n"
    "                   not, as in the plug-in's picture\n"
    "  --batch FILE|-   one line of values per row, from FILE or standard\n"
    "                   input; blank lines are skipped\n"
    "  PATTERN          output name with one run of '#', replaced by the row\n"
    "                   number padded to the run's length: sketch-####.png\n"
    "  --quiet          no progress bar\n"
    "  --bench N        draw N pictures into PNG in memory and compare the\n"
    "                   rate with writing the same PNG with nothing drawn\n"
    "  -h, --help       this text\n"
    "\n"
    "Exit status: 0 when every picture was written, 1 when a row or an\n"
    "output failed, 2 for bad arguments.\n";

const int kMinSide = 16, kMaxSide = 8000;

int Usage(std::ostream &err, const std::string &message) {
  err << "orbitrace-render: " << message << "\n"
      << "Try 'orbitrace-render --help'.\n";
  return kExitUsage;
}

bool ParseSide(const std::string &text, int *value) {
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos)
    return false;
  errno = 0;
  long n = strtol(text.c_str(), nullptr, 10);
  if (errno != 0 || n < kMinSide || n > kMaxSide)
    return false;
  *value = static_cast<int>(n);
  return true;
}

double SteadySeconds() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

cairo_status_t DiscardPng(void *closure, const unsigned char *,
                          unsigned int n) {
  *static_cast<size_t *>(closure) += n;
  return CAIRO_STATUS_SUCCESS;
}

// Values that walk through every list, so the benchmark draws cups of all
// sizes and places.
SketchValues BenchValues(int i) {
  SketchValues v;
  v.horizontal = kRatioItems[i % kRatioCount];
  v.vertical = kRatioItems[(i / 3) % kRatioCount];
  v.location = kHourItems[i % kHourCount];
  v.rim = kRimItems[(i * 7) % kRimCount];
  return v;
}

int Bench(long count, const RenderOptions &options, std::ostream &out) {
  const PictureGeometry g = GeometryFor(options.areaWidth, options.areaHeight);
  size_t bytes = 0;
  double t0 = SteadySeconds();
  for (long i = 0; i < count; ++i) {
    cairo_surface_t *s =
        RenderToImage(BenchValues(static_cast<int>(i)), options);
    cairo_surface_write_to_png_stream(s, DiscardPng, &bytes);
    cairo_surface_destroy(s);
  }
  double drawn = SteadySeconds() - t0;
  t0 = SteadySeconds();
  for (long i = 0; i < count; ++i) {
    cairo_surface_t *s =
        cairo_image_surface_create(CAIRO_FORMAT_RGB24, g.width, g.height);
    cairo_surface_write_to_png_stream(s, DiscardPng, &bytes);
    cairo_surface_destroy(s);
  }
  double blank = SteadySeconds() - t0;
  const double drawnRate = count / drawn, blankRate = count / blank;
  out << "pictures " << g.width << "x" << g.height << ", " << count
      << " each, PNG encoded in memory\n"
      << "drawn:             " << drawnRate << " pictures/s\n"
      << "floor (blank PNG): " << blankRate << " pictures/s\n"
      << "drawn / floor:     " << drawnRate / blankRate << "\n";
  return kExitOk;
}

} // namespace

bool ParseSize(const std::string &text, int *width, int *height,
               std::string *error) {
  std::string::size_type x = text.find('x');
  if (x == std::string::npos || !ParseSide(text.substr(0, x), width) ||
      !ParseSide(text.substr(x + 1), height)) {
    *error = "size \"" + text + "\" is not WxH with each side from " +
             std::to_string(kMinSide) + " to " + std::to_string(kMaxSide);
    return false;
  }
  return true;
}

bool CheckPattern(const std::string &pattern, std::string *error) {
  std::string::size_type first = pattern.find('#');
  if (first == std::string::npos) {
    *error = "pattern \"" + pattern + "\" has no '#' for the row number";
    return false;
  }
  std::string::size_type end = pattern.find_first_not_of('#', first);
  if (end != std::string::npos && pattern.find('#', end) != std::string::npos) {
    *error = "pattern \"" + pattern + "\" has more than one run of '#'";
    return false;
  }
  OutputFormat format;
  if (!FormatForName(pattern, &format)) {
    *error = "pattern \"" + pattern + "\" does not end in .png, .svg or .pdf";
    return false;
  }
  return true;
}

std::string NameForRow(const std::string &pattern, int row) {
  std::string::size_type first = pattern.find('#');
  std::string::size_type end = pattern.find_first_not_of('#', first);
  if (end == std::string::npos)
    end = pattern.size();
  std::string number = std::to_string(row);
  if (number.size() < end - first)
    number.insert(0, end - first - number.size(), '0');
  return pattern.substr(0, first) + number + pattern.substr(end);
}

ProgressBar::ProgressBar(std::ostream &err, int total,
                         std::function<double()> now, bool enabled)
    : err_(err), total_(total), now_(std::move(now)), start_(now_()),
      enabled_(enabled) {}

void ProgressBar::Draw() {
  const int width = 30;
  const int filled =
      total_ > 0 ? static_cast<int>(1LL * width * done_ / total_) : width;
  err_ << "\r[" << std::string(filled, '#') << std::string(width - filled, ' ')
       << "] " << done_ << "/" << total_ << std::flush;
}

void ProgressBar::Update(int done) {
  done_ = done;
  if (!enabled_)
    return;
  if (!shown_ && now_() - start_ > 1.0)
    shown_ = true;
  if (shown_)
    Draw();
}

void ProgressBar::Message(const std::string &line) {
  if (shown_)
    err_ << "\r" << std::string(50, ' ') << "\r";
  err_ << line << "\n";
  if (shown_)
    Draw();
  err_ << std::flush;
}

void ProgressBar::Finish() {
  if (shown_) {
    Draw();
    err_ << "\n" << std::flush;
  }
}

int RunBatch(std::istream &rows, const std::string &pattern,
             const RenderOptions &options, ProgressBar *progress,
             int *rendered) {
  // Rows are read first so that the bar knows the total.
  std::vector<std::string> lines;
  for (std::string line; std::getline(rows, line);)
    lines.push_back(line);
  int failed = 0, done = 0, total = 0;
  for (const std::string &line : lines)
    if (line.find_first_not_of(" \t\r") != std::string::npos)
      ++total;
  progress->SetTotal(total);
  for (size_t i = 0; i < lines.size(); ++i) {
    std::string line = lines[i];
    // Files written on Windows end their lines in CR LF.
    while (!line.empty() &&
           (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
      line.pop_back();
    line.erase(0, line.find_first_not_of(" \t"));
    if (line.empty())
      continue;
    const int row = static_cast<int>(i) + 1;
    SketchValues values;
    std::string error;
    if (!ParseValues(line, &values, &error) ||
        !RenderToFile(values, options, NameForRow(pattern, row), &error)) {
      progress->Message("orbitrace-render: row " + std::to_string(row) + ": " +
                        error);
      ++failed;
    } else {
      ++*rendered;
    }
    progress->Update(++done);
  }
  progress->Finish();
  return failed;
}

int RenderMain(int argc, const char *const *argv, std::istream &in,
               std::ostream &out, std::ostream &err) {
  if (IsHistoryCommand(argc, argv))
    return HistoryMain(argc, argv, in, out, err);
  RenderOptions options;
  std::string batch, error;
  bool haveBatch = false, quiet = false;
  long bench = 0;
  std::vector<std::string> positional;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto next = [&]() -> const char * {
      return i + 1 < argc ? argv[++i] : nullptr;
    };
    if (a == "-h" || a == "--help") {
      out << kUsage << kHistoryUsage;
      return kExitOk;
    } else if (a == "--size") {
      const char *v = next();
      if (!v)
        return Usage(err, "--size needs WxH");
      if (!ParseSize(v, &options.areaWidth, &options.areaHeight, &error))
        return Usage(err, error);
    } else if (a == "--antialias") {
      options.antialias = true;
    } else if (a == "--quiet") {
      quiet = true;
    } else if (a == "--batch") {
      const char *v = next();
      if (!v)
        return Usage(err, "--batch needs a file or -");
      batch = v;
      haveBatch = true;
    } else if (a == "--bench") {
      const char *v = next();
      char *end = nullptr;
      if (v)
        bench = strtol(v, &end, 10);
      if (!v || *v == '\0' || *end != '\0' || bench < 1 || bench > 1000000)
        return Usage(err, "--bench needs a count from 1 to 1000000");
    } else if (a.size() > 1 && a[0] == '-' && a[1] == '-') {
      return Usage(err, "unknown option " + a);
    } else {
      positional.push_back(a);
    }
  }

  if (bench > 0) {
    if (haveBatch || !positional.empty())
      return Usage(err, "--bench takes no values, output or batch");
    return Bench(bench, options, out);
  }
  if (haveBatch) {
    if (positional.size() != 1)
      return Usage(err, "--batch needs exactly one output PATTERN");
    if (!CheckPattern(positional[0], &error))
      return Usage(err, error);
    std::ifstream file;
    std::istream *rows = &in;
    if (batch != "-") {
      file.open(batch);
      if (!file) {
        err << "orbitrace-render: cannot read \"" << batch << "\"\n";
        return kExitFailed;
      }
      rows = &file;
    }
    ProgressBar progress(err, 0, SteadySeconds, !quiet);
    int rendered = 0;
    const int failed =
        RunBatch(*rows, positional[0], options, &progress, &rendered);
    if (failed > 0)
      err << "orbitrace-render: " << failed << " of " << failed + rendered
          << " rows failed\n";
    return failed > 0 ? kExitFailed : kExitOk;
  }
  if (positional.size() != 2)
    return Usage(err, "expected VALUES and OUTPUT (or --batch, --bench)");
  SketchValues values;
  if (!ParseValues(positional[0], &values, &error))
    return Usage(err, error);
  OutputFormat format;
  if (!FormatForName(positional[1], &format))
    return Usage(err, "\"" + positional[1] +
                          "\" does not end in .png, .svg or .pdf");
  if (!RenderToFile(values, options, positional[1], &error)) {
    err << "orbitrace-render: " << error << "\n";
    return kExitFailed;
  }
  return kExitOk;
}
