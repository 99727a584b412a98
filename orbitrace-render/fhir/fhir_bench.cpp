#include "orbitrace-render/fhir/fhir_bench.h"

#include "orbitrace-render/batch.h"
#include "orbitrace-render/bench_steps.h"
#include "orbitrace-render/fhir/fhir_export.h"
#include "orbitrace-render/history/visit_spool.h"
#include "orbitrace-render/seconds.h"
#include "orbitrace-render/status_printer.h"

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <iomanip>
#include <ostream>
#include <sstream>
#include <vector>

namespace {

struct Step {
  std::string name;
  double seconds;
  double cpu;       // processor seconds, every thread's
  double megabytes; // output size
  double peak;      // process peak after the step
};

// The bulk files' size; the files and their folder are removed.
double MeasureAndRemove(const std::string &folder) {
  double total = 0;
  for (const char *file : kBulkFiles) {
    const std::string path = folder + "/" + file;
    total += FileMegabytes(path);
    remove(path.c_str());
  }
  rmdir(folder.c_str());
  return total;
}

struct Counts {
  long patients = 0, visits = 0;
};

// The reader alone: every row read, checked, grouped and read back in
// order, as the export reads it; `rows` gets the values for the batch.
bool TimeReader(const std::string &csvPath, const FhirOptions &options,
                std::vector<Step> *steps, std::string *rows, Counts *counts,
                std::ostream &err) {
  const double t0 = Seconds(), c0 = CpuSeconds();
  VisitSpool spool;
  if (!SpoolFile(csvPath, options.read, &spool, err))
    return false;
  PatientHistory history;
  std::vector<DuplicateVisit> duplicates;
  while (ReadNextPatient(&spool, &history)) {
    OrderVisits(&history, &duplicates);
    for (const std::vector<Visit> &eye : history.eyes)
      for (const Visit &v : eye) {
        *rows += FormatValues(v.values) + "\n";
        ++counts->visits;
      }
  }
  counts->patients = static_cast<long>(spool.patients.size());
  CloseSpool(&spool);
  steps->push_back(Step{"the reader alone", Seconds() - t0, CpuSeconds() - c0,
                        0, PeakMegabytes()});
  return true;
}

// The bulk files without pictures and with, each measured and removed.
void TimeExports(const std::string &csvPath, const FhirOptions &options,
                 const std::string &dir, std::vector<Step> *steps) {
  std::ostringstream quiet;
  for (bool pictures : {false, true}) {
    FhirOptions o = options;
    o.pictures = pictures;
    o.threads = DefaultThreads();
    const std::string folder = dir + "/bulk/";
    std::ifstream again(csvPath, std::ios::binary);
    StatusPrinter status(quiet, Seconds, false);
    const double t0 = Seconds(), c0 = CpuSeconds();
    MakeFhirExport(again, csvPath, folder, o, &status);
    const double seconds = Seconds() - t0, cpu = CpuSeconds() - c0;
    const double peak = PeakMegabytes();
    steps->push_back(Step{pictures ? "--fhir FOLDER/" : "--fhir --no-pictures",
                          seconds, cpu, MeasureAndRemove(dir + "/bulk"), peak});
  }
}

// The table of steps, and whether each target is met.
void PrintSteps(const std::vector<Step> &steps, const std::string &csvPath,
                const Counts &counts, std::ostream &out) {
  out << csvPath << ": " << counts.patients << " patients, " << counts.visits
      << " visits (one Observation and one Media each)\n\n"
      << std::left << std::setw(24) << "" << std::right << std::setw(10)
      << "seconds" << std::setw(11) << "ms/visit" << std::setw(8) << "CPU s"
      << std::setw(12) << "output MB" << std::setw(14) << "peak RSS MB\n";
  for (const Step &s : steps)
    out << std::left << std::setw(24) << s.name << std::right << std::fixed
        << std::setprecision(2) << std::setw(10) << s.seconds
        << std::setprecision(4) << std::setw(11)
        << s.seconds * 1000 / (counts.visits > 0 ? counts.visits : 1)
        << std::setprecision(2) << std::setw(8) << s.cpu << std::setprecision(1)
        << std::setw(12) << s.megabytes << std::setw(13) << s.peak << "\n";
  const double reader = steps[0].seconds, plain = steps[1].seconds,
               drawn = steps[2].seconds, batch = steps[3].seconds;
  double peak = 0;
  for (const Step &s : steps)
    peak = std::max(peak, s.peak);
  out << std::setprecision(2)
      << "\nwithout pictures, vs the reader alone: " << plain / reader
      << "x (target 1.5x): " << (plain <= 1.5 * reader ? "yes" : "NO")
      << "; in processor time " << steps[1].cpu / steps[0].cpu << "x"
      << "\nwith pictures, time per sketch vs --batch: " << drawn / batch
      << "x (target 1.5x): " << (drawn <= 1.5 * batch ? "yes" : "NO")
      << "; in processor time " << steps[2].cpu / steps[3].cpu << "x"
      << "\npeak memory under 200 MB: " << (peak < 200 ? "yes" : "NO") << "\n";
}

} // namespace

bool BenchFhir(const std::string &csvPath, const FhirOptions &options,
               std::ostream &out, std::ostream &err) {
  std::vector<Step> steps;
  std::string rows;
  Counts counts;
  if (!TimeReader(csvPath, options, &steps, &rows, &counts, err))
    return false;
  const char *tmp = getenv("TMPDIR");
  std::string dirTemplate =
      std::string(tmp && *tmp ? tmp : "/tmp") + "/orbt-bench-fhir-XXXXXX";
  if (!mkdtemp(&dirTemplate[0])) {
    err << "orbitrace-render: cannot make a temporary folder\n";
    return false;
  }
  const std::string dir = dirTemplate;
  TimeExports(csvPath, options, dir, &steps);
  const BatchTime batch = TimeBatch(rows, dir, options.render);
  rmdir(dir.c_str());
  steps.push_back(Step{"--batch (PNG files)", batch.seconds, batch.cpu,
                       batch.megabytes, PeakMegabytes()});
  PrintSteps(steps, csvPath, counts, out);
  return true;
}
