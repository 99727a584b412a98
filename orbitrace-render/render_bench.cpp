#include "orbitrace-render/render_bench.h"

#include "orbitrace-render/batch.h"
#include "orbitrace-render/png_writer.h"
#include "orbitrace-render/seconds.h"
#include "orbitrace-render/status_printer.h"
#include "sketch/value_lists.h"

#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <ostream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

// Each figure is the median of this many rounds, the configurations taking
// turns within a round so that a busy moment of the machine spreads over
// them all.
const int kRounds = 3;
// Distinct pictures kept drawn for the encode floors, for each thread its
// own, so that no two threads touch one surface.
const int kKeptPictures = 30;

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// Values that walk through every list, so the benchmark draws cups of all
// sizes and places.
StoredValues BenchValues(long i) {
  StoredValues v;
  v.horizontal = kRatioItems[i % kRatioCount];
  v.vertical = kRatioItems[(i / 3) % kRatioCount];
  v.position = kHourItems[i % kHourCount];
  v.rim = kRimItems[(i * 7) % kRimCount];
  return v;
}

cairo_status_t CountBytes(void *closure, const unsigned char *,
                          unsigned int n) {
  *static_cast<size_t *>(closure) += n;
  return CAIRO_STATUS_SUCCESS;
}

// Runs `work(thread, first, end)` over [0, count) split evenly among
// `threads`.
void Split(long count, int threads,
           const std::function<void(int, long, long)> &work) {
  std::vector<std::thread> pool;
  for (int t = 0; t < threads; ++t)
    pool.emplace_back(work, t, count * t / threads, count * (t + 1) / threads);
  for (std::thread &th : pool)
    th.join();
}

struct Batch {
  const char *name;
  BatchOptions options;
  std::vector<double> rates; // files per second, one per round
  double bytes = 0;          // per picture
};

struct Floor {
  const char *name;
  std::function<void(int, long, long)> run;
  int threads;
  std::vector<double> rates;
};

std::string Fixed(double v, int decimals) {
  char buf[32];
  snprintf(buf, sizeof buf, "%.*f", decimals, v);
  return buf;
}

// The names of one batch's files in `dir`: each batch writes new files and
// all are removed at the end, as a file system that has just deleted as
// many files spends far longer finding room for new ones.
std::string BatchNames(const std::string &dir, int round, int batch) {
  return dir + "/" + std::to_string(round) + std::to_string(batch) +
         "-#######.png";
}

void RemoveBatchFiles(const std::string &dir, long count) {
  for (int round = 0; round < kRounds; ++round)
    for (int batch = 0; batch < 3; ++batch)
      for (long i = 1; i <= count; ++i)
        unlink(NameForRow(BatchNames(dir, round, batch), static_cast<int>(i))
                   .c_str());
}

// One round of one batch: its rate, and the size of its pictures. False,
// with the batch's messages on `out`, when a row failed.
bool RunRound(Batch *b, const std::string &rows, const std::string &names,
              long count, const RenderOptions &options, std::ostream &out) {
  std::istringstream in(rows);
  std::ostringstream errors;
  StatusPrinter messages(errors, Seconds, false);
  const double t0 = Seconds();
  const BatchResult done = RunBatch(in, names, options, b->options, &messages);
  b->rates.push_back(count / (Seconds() - t0));
  if (done.failed > 0) {
    out << "orbitrace-render: the benchmark's batch failed:\n" << errors.str();
    return false;
  }
  double bytes = 0;
  for (long i = 1; i <= count; ++i) {
    struct stat st;
    if (stat(NameForRow(names, static_cast<int>(i)).c_str(), &st) == 0)
      bytes += st.st_size;
  }
  b->bytes = bytes / count;
  return true;
}

// Every round: the batches written, then the floors. False when a batch
// failed.
bool RunRounds(Batch (&batches)[3], Floor (&floors)[4], const std::string &dir,
               long count, const RenderOptions &options, std::ostream &out) {
  std::string rows;
  for (long i = 0; i < count; ++i)
    rows += FormatValues(BenchValues(i)) + "\n";
  for (int round = 0; round < kRounds; ++round) {
    for (int batch = 0; batch < 3; ++batch)
      if (!RunRound(&batches[batch], rows, BatchNames(dir, round, batch), count,
                    options, out))
        return false;
    for (Floor &f : floors) {
      const double t0 = Seconds();
      Split(count, f.threads, f.run);
      f.rates.push_back(count / (Seconds() - t0));
    }
  }
  return true;
}

void PrintBatches(const Batch (&batches)[3], long count,
                  const RenderOptions &options, int threads,
                  std::ostream &out) {
  const PictureGeometry g = GeometryFor(options.areaWidth, options.areaHeight);
  const double today = Median(batches[0].rates);
  out << "pictures " << g.width << "x" << g.height
      << (options.antialias ? ", antialiased" : "") << "; batches of " << count
      << " rows written as files; medians of " << kRounds << " rounds\n\n";
  out << "batch                         threads  files/s  vs before  "
         "bytes/picture\n";
  for (const Batch &b : batches) {
    char line[160];
    snprintf(line, sizeof line, "%-30s %6d  %7.0f  %8.2fx  %13.0f\n", b.name,
             b.options.threads, Median(b.rates), Median(b.rates) / today,
             b.bytes);
    out << line;
  }
  const double ratio = Median(batches[2].rates) / today;
  out << "target: now on " << threads
      << " threads >= 4x before: " << (ratio >= 4 ? "met" : "MISSED") << " ("
      << Fixed(ratio, 2) << "x)\n\n";
}

void PrintFloors(const Floor (&floors)[4], const Batch (&batches)[3],
                 int threads, std::ostream &out) {
  out << "floors, the same pictures drawn beforehand:\n";
  for (const Floor &f : floors) {
    char line[160];
    snprintf(line, sizeof line, "%-36s %2d thread%s %7.0f pictures/s\n", f.name,
             f.threads, f.threads == 1 ? " " : "s", Median(f.rates));
    out << line;
  }
  out << "now against its encoding alone: "
      << Fixed(Median(batches[1].rates) / Median(floors[1].rates), 2)
      << " on 1 thread, "
      << Fixed(Median(batches[2].rates) / Median(floors[2].rates), 2) << " on "
      << threads << "\n\n";
}

// The indexed encoder's settings, each over the first thread's pictures.
void PrintSettings(const std::vector<cairo_surface_t *> &kept, long count,
                   std::ostream &out) {
  out << "indexed PNG settings (zlib level, strategy, row filter):\n";
  const struct {
    PngCompression c;
    const char *name;
  } settings[] = {{{1, 3, 2}, "1, run-length, up  (chosen)"},
                  {{1, 3, 0}, "1, run-length, none"},
                  {{1, 0, 0}, "1, default, none"},
                  {{3, 0, 0}, "3, default, none"},
                  {{6, 0, 0}, "6, default, none"},
                  {{6, 0, 2}, "6, default, up"},
                  {{9, 0, 0}, "9, default, none"}};
  const long reps =
      std::max<long>(1, std::min<long>(count, 300) / kKeptPictures);
  for (const auto &s : settings) {
    std::vector<unsigned char> png;
    std::string error;
    double bytes = 0;
    const double t0 = Seconds();
    for (long r = 0; r < reps; ++r)
      for (int i = 0; i < kKeptPictures; ++i) {
        EncodePng(kept[i], &png, &error, s.c);
        bytes += png.size();
      }
    const double n = double(reps) * kKeptPictures;
    char line[160];
    snprintf(line, sizeof line, "  %-28s %6.3f ms  %6.0f bytes\n", s.name,
             (Seconds() - t0) * 1000 / n, bytes / n);
    out << line;
  }
}

} // namespace

bool Bench(long count, const RenderOptions &options, int threads,
           std::ostream &out) {
  const char *tmp = getenv("TMPDIR");
  std::string dir =
      std::string(tmp && *tmp ? tmp : "/tmp") + "/orbitrace-bench-XXXXXX";
  if (mkdtemp(&dir[0]) == nullptr) {
    out << "orbitrace-render: cannot make a folder for the benchmark in " << dir
        << "\n";
    return false;
  }
  Batch batches[3] = {{"cairo's PNG writer (before)", {1, true}, {}, 0},
                      {"indexed PNG (now)", {1, false}, {}, 0},
                      {"indexed PNG (now)", {threads, false}, {}, 0}};

  std::vector<cairo_surface_t *> kept;
  for (long i = 0; i < long(kKeptPictures) * threads; ++i)
    kept.push_back(RenderToImage(BenchValues(i), options));
  auto keptAt = [&](int thread, long i) {
    return kept[thread * kKeptPictures + i % kKeptPictures];
  };
  auto encodeOld = [&](int thread, long first, long end) {
    size_t bytes = 0;
    for (long i = first; i < end; ++i)
      cairo_surface_write_to_png_stream(keptAt(thread, i), CountBytes, &bytes);
  };
  auto encodeNew = [&](int thread, long first, long end) {
    std::vector<unsigned char> png;
    std::string error;
    for (long i = first; i < end; ++i)
      EncodePng(keptAt(thread, i), &png, &error);
  };
  auto drawOnly = [&](int, long first, long end) {
    for (long i = first; i < end; ++i)
      cairo_surface_destroy(RenderToImage(BenchValues(i), options));
  };
  Floor floors[4] = {{"cairo's PNG writer, encoding only", encodeOld, 1, {}},
                     {"indexed PNG, encoding only", encodeNew, 1, {}},
                     {"indexed PNG, encoding only", encodeNew, threads, {}},
                     {"drawing only", drawOnly, 1, {}}};

  const bool ran = RunRounds(batches, floors, dir, count, options, out);
  RemoveBatchFiles(dir, count);
  rmdir(dir.c_str());
  if (ran) {
    PrintBatches(batches, count, options, threads, out);
    PrintFloors(floors, batches, threads, out);
    // Antialiased pictures have too many colours for a palette.
    if (!options.antialias)
      PrintSettings(kept, count, out);
  }
  for (cairo_surface_t *s : kept)
    cairo_surface_destroy(s);
  return ran;
}
