// The command line of orbitrace-render: one picture, a batch of rows, or
// the benchmark, with the batch's progress bar.
#pragma once

#include "orbitrace-render/sketch_cairo.h"

#include <functional>
#include <iosfwd>
#include <string>

// Exit statuses.
enum { kExitOk = 0, kExitFailed = 1, kExitUsage = 2 };

// "WxH" in pixels, each side within the range the renderer accepts.
bool ParseSize(const std::string &text, int *width, int *height,
               std::string *error);

// The output name of a batch row: the pattern's one run of '#' replaced by
// the row number, zero-padded to the run's length. False when the pattern
// has no run or more than one.
bool CheckPattern(const std::string &pattern, std::string *error);
std::string NameForRow(const std::string &pattern, int row);

// A bar on the error stream that appears only once the work has taken more
// than a second, so quick batches stay silent. `now` gives seconds.
class ProgressBar {
public:
  ProgressBar(std::ostream &err, int total, std::function<double()> now,
              bool enabled);
  void SetTotal(int total) { total_ = total; }
  void Update(int done);
  // A line of its own, with the bar drawn again after it.
  void Message(const std::string &line);
  void Finish();

private:
  void Draw();
  std::ostream &err_;
  int total_;
  int done_ = 0;
  std::function<double()> now_;
  double start_;
  bool enabled_;
  bool shown_ = false;
};

struct BatchOptions {
  // Rows drawn and written at the same time; the output is the same for any
  // number.
  int threads = 1;
  // cairo's own PNG writer, the renderer's encoder before its own: only the
  // benchmark picks it, to measure against.
  bool cairoPng = false;
};

// The number of threads a batch uses unless told: one per core.
int DefaultThreads();

// Renders one picture per non-blank row; a bad row is reported with its
// number and reason, in row order, and the batch goes on. Returns the
// number of rows that failed.
int RunBatch(std::istream &rows, const std::string &pattern,
             const RenderOptions &options, const BatchOptions &batch,
             ProgressBar *progress, int *rendered);

// The whole program; `in` is standard input for "--batch -".
int RenderMain(int argc, const char *const *argv, std::istream &in,
               std::ostream &out, std::ostream &err);
