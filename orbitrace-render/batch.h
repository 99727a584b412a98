// A batch: one picture per row of values, written to numbered files.
#pragma once

#include "orbitrace-render/sketch_cairo.h"

#include <iosfwd>
#include <string>

class Status;

// The output name of a batch row: the pattern's one run of '#' replaced by
// the row number, zero-padded to the run's length. False when the pattern
// has no run or more than one, or no picture format's extension.
bool CheckPattern(const std::string &pattern, std::string *error);
std::string NameForRow(const std::string &pattern, int row);

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

struct BatchResult {
  int rendered = 0; // pictures written
  int failed = 0;   // rows that gave none
};

// Renders one picture per non-blank row; a bad row goes to `status` with
// its number and reason, in row order, and the batch goes on.
BatchResult RunBatch(std::istream &rows, const std::string &pattern,
                     const RenderOptions &options, const BatchOptions &batch,
                     Status *status);
