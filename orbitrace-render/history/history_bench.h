// orbitrace-render --bench-history: the report's time per sketch against
// --batch on the same values.
#pragma once

#include <iosfwd>
#include <string>

struct HistoryOptions;

// Writes the report as HTML and as PDF, and the batch, into a temporary
// folder, and prints a table on `out`. False, with the reason on `err`,
// when the export cannot be read or the folder made.
bool BenchHistory(const std::string &csvPath, const HistoryOptions &options,
                  std::ostream &out, std::ostream &err);
