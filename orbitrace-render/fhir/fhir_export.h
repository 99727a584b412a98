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
  // With either, a folder of transaction Bundles of at most this many
  // entries or bytes (0: no limit), each taken by a server alone.
  long bundleEntries = 0;
  unsigned long long bundleBytes = 0;
  int threads = 1; // pictures drawn at once; the output does not depend on it
};

// One transaction Bundle (OUTPUT ends in ".json", any case), or bulk files,
// one resource a line (OUTPUT is a folder, or a name ending in "/"), or
// with a limit on a Bundle's size, a folder of Bundles.
enum class FhirForm { kBundle, kBulk, kBundles };
bool FhirFormForName(const std::string &output, FhirForm *form);

// The fewest entries a Bundle of the folder form can hold: a Patient, an
// Observation and, with pictures, its Media, which are never apart.
long FewestBundleEntries(bool pictures);

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
  long visits = 0;  // dates of a patient with an Observation written
  long leftOut = 0; // rows in no Observation, each told to the status
  // Patient IDs whose rows carry more than one name, each told.
  long namesTold = 0;
  long controlsDropped = 0; // from notes, names and IDs
  unsigned long long bundleBytes = 0;
  long bundles = 0;      // of the folder of Bundles
  long largeBundles = 0; // of those, over --bundle-bytes by one visit alone
};

// Reads `csv` and writes `output` (see FhirFormForName; a folder is
// written as Bundles when the options limit their size). Each row left
// out goes to `status` with its line, and so does each patient ID with two
// names. When nothing can be written, or the export holds no visit, an
// earlier output of that name stays as it was.
FhirResult MakeFhirExport(std::istream &csv, const std::string &source,
                          const std::string &output, const FhirOptions &options,
                          Status *status);
