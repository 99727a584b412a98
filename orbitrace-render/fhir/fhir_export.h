// The health-record export: every visit of an export of stored values as
// FHIR R4 resources, read as the visit history reads it.
#pragma once

#include "orbitrace-render/history/read_settings.h"
#include "orbitrace-render/sketch_cairo.h"

#include <iosfwd>
#include <string>
#include <vector>

class Status;

struct FhirOptions {
  ReadSettings read;
  RenderOptions render; // the pictures, as `orbitrace-render VALUES x.png`
  std::string patientSystem;
  bool pictures = true;
  int threads = 1; // pictures drawn at once; the output does not depend on it
};

// One transaction Bundle (OUTPUT ends in ".json", any case), or bulk files,
// one resource a line (OUTPUT is a folder, or a name ending in "/").
enum class FhirForm { kBundle, kBulk };
bool FhirFormForName(const std::string &output, FhirForm *form);

// The files of the bulk form, in the folder.
extern const char *const kBulkFiles[3]; // Patient, Observation, Media

// A Bundle this large is refused by many servers' request limits; the run
// says so and names the bulk form.
const unsigned long long kLargeBundleBytes = 50ull << 20;

struct FhirResult {
  bool made = false;
  std::string failure; // why nothing was written
  // The patients asked for that no row names; then nothing is written.
  std::vector<std::string> missingPatients;
  long patients = 0, observations = 0, media = 0;
  long leftOut = 0; // rows in no Observation, each told to the status
  unsigned long long bundleBytes = 0;
};

// Reads `csv` and writes `output` (see FhirFormForName). Each row left out
// goes to `status` with its line. When nothing can be written, an earlier
// output of that name stays as it was.
FhirResult MakeFhirExport(std::istream &csv, const std::string &source,
                          const std::string &output, const FhirOptions &options,
                          Status *status);
