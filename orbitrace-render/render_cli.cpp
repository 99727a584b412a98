#include "orbitrace-render/render_cli.h"

#include "orbitrace-render/history/history_report.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <fstream>
#include <iostream>
#include <mutex>
#include <sstream>
#include <thread>
#include <vector>

#include "orbitrace-render/render_bench.h"

#include <errno.h>
#include <stdlib.h>

namespace {

const char kUsage[] =
    "usage: orbitrace-render [OPTIONS] VALUES OUTPUT\n"
    "       orbitrace-render [OPTIONS] --batch FILE|- PATTERN\n"
    "       orbitrace-render [--size WxH] [--threads N] --bench N\n"
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
    "  --threads N      rows drawn at the same time, 1 to 64 (default: one\n"
    "                   per core); the output does not depend on it\n"
    "  --bench N        write batches of N pictures with the PNG encoder of\n"
    "                   old and the one of today, on 1 thread and on all,\n"
    "                   against encoding the same pictures alone\n"
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

namespace {

// What became of one row; `error` is empty when its picture was written.
struct RowOutcome {
  bool done = false;
  std::string error;
};

std::string RenderRow(const std::string &line, const std::string &path,
                      const RenderOptions &options, bool cairoPng) {
  SketchValues values;
  std::string error;
  if (!ParseValues(line, &values, &error))
    return error;
  if (!cairoPng)
    return RenderToFile(values, options, path, &error) ? "" : error;
  // cairo's own writer, the renderer's encoder before its own: only the
  // benchmark picks it, to measure against.
  cairo_surface_t *surface = RenderToImage(values, options);
  const cairo_status_t status =
      cairo_surface_write_to_png(surface, path.c_str());
  cairo_surface_destroy(surface);
  if (status != CAIRO_STATUS_SUCCESS)
    return "cannot write \"" + path + "\": " + cairo_status_to_string(status);
  return "";
}

} // namespace

int RunBatch(std::istream &rows, const std::string &pattern,
             const RenderOptions &options, const BatchOptions &batch,
             ProgressBar *progress, int *rendered) {
  // Rows are read first so that the bar knows the total.
  struct Row {
    int number;
    std::string values;
  };
  std::vector<Row> work;
  int number = 0;
  for (std::string line; std::getline(rows, line);) {
    ++number;
    // Files written on Windows end their lines in CR LF.
    while (!line.empty() &&
           (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
      line.pop_back();
    line.erase(0, line.find_first_not_of(" \t"));
    if (!line.empty())
      work.push_back({number, line});
  }
  progress->SetTotal(static_cast<int>(work.size()));

  // Each row is a file of its own, so workers take rows in any order; this
  // thread reports them in row order, so the messages, the files and the
  // status do not depend on the number of threads.
  std::vector<RowOutcome> outcomes(work.size());
  std::mutex mutex;
  std::condition_variable rowDone;
  std::atomic<size_t> next{0};
  auto worker = [&] {
    for (size_t i; (i = next++) < work.size();) {
      std::string error =
          RenderRow(work[i].values, NameForRow(pattern, work[i].number),
                    options, batch.cairoPng);
      std::lock_guard<std::mutex> lock(mutex);
      outcomes[i].error = std::move(error);
      outcomes[i].done = true;
      rowDone.notify_one();
    }
  };
  const size_t threads = std::max<size_t>(
      1, std::min<size_t>(static_cast<size_t>(batch.threads), work.size()));
  std::vector<std::thread> pool;
  for (size_t t = 0; t < threads; ++t)
    pool.emplace_back(worker);

  int failed = 0;
  for (size_t i = 0; i < work.size(); ++i) {
    std::string error;
    {
      std::unique_lock<std::mutex> lock(mutex);
      rowDone.wait(lock, [&] { return outcomes[i].done; });
      error.swap(outcomes[i].error);
    }
    if (!error.empty()) {
      progress->Message("orbitrace-render: row " +
                        std::to_string(work[i].number) + ": " + error);
      ++failed;
    } else {
      ++*rendered;
    }
    progress->Update(static_cast<int>(i + 1));
  }
  for (std::thread &t : pool)
    t.join();
  progress->Finish();
  return failed;
}

int DefaultThreads() {
  const unsigned cores = std::thread::hardware_concurrency();
  return cores == 0 ? 1 : static_cast<int>(std::min(cores, 64u));
}

int RenderMain(int argc, const char *const *argv, std::istream &in,
               std::ostream &out, std::ostream &err) {
  if (IsHistoryCommand(argc, argv))
    return HistoryMain(argc, argv, in, out, err);
  RenderOptions options;
  std::string batch, error;
  bool haveBatch = false, quiet = false;
  long bench = 0;
  BatchOptions batchOptions;
  batchOptions.threads = DefaultThreads();
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
    } else if (a == "--threads") {
      const char *v = next();
      char *end = nullptr;
      const long n = v ? strtol(v, &end, 10) : 0;
      if (!v || *v == '\0' || *end != '\0' || n < 1 || n > 64)
        return Usage(err, "--threads needs a number from 1 to 64");
      batchOptions.threads = static_cast<int>(n);
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
    return Bench(bench, options, batchOptions.threads, out);
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
    const int failed = RunBatch(*rows, positional[0], options, batchOptions,
                                &progress, &rendered);
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
