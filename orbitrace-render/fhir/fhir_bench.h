// orbitrace-render --bench-fhir: the health-record export's time against
// the reader alone and against --batch on the same values.
#pragma once

#include <iosfwd>
#include <string>

struct FhirOptions;

// Reads the export alone, writes it as bulk files without and with
// pictures and draws the batch, all in a temporary folder, and prints a
// table on `out`. False, with the reason on `err`, when the export cannot
// be read or the folder made.
bool BenchFhir(const std::string &csvPath, const FhirOptions &options,
               std::ostream &out, std::ostream &err);
