#include "orbitrace-render/fhir/fhir_bench.h"

#include "orbitrace-render/batch.h"
#include "orbitrace-render/fhir/fhir_export.h"
#include "orbitrace-render/history/visit_spool.h"
#include "orbitrace-render/seconds.h"
#include "orbitrace-render/status_printer.h"

#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <iomanip>
#include <ostream>
#include <sstream>
#include <vector>

namespace {

double PeakMegabytes() {
  struct rusage usage;
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024.0;
}

// The process's processor time so far, every thread's, user and system.
double CpuSeconds() {
  struct rusage usage;
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double FileMegabytes(const std::string &path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 ? st.st_size / 1048576.0 : 0;
}

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

} // namespace

bool BenchFhir(const std::string &csvPath, const FhirOptions &options,
               std::ostream &out, std::ostream &err) {
  // The reader alone: every row read, checked, grouped and read back in
  // order, as the export reads it; the batch gets the values.
  std::ifstream csv(csvPath, std::ios::binary);
  if (!csv) {
    err << "orbitrace-render: cannot read \"" << csvPath << "\"\n";
    return false;
  }
  std::vector<Step> steps;
  double t0 = Seconds(), c0 = CpuSeconds();
  VisitSpool spool;
  std::string error;
  if (!SpoolVisits(
          csv, options.read, &spool, [](const VisitProblem &) {}, &error)) {
    err << "orbitrace-render: " << csvPath << ": " << error << "\n";
    return false;
  }
  std::string rows;
  PatientHistory history;
  std::vector<DuplicateVisit> duplicates;
  long visits = 0;
  while (ReadNextPatient(&spool, &history)) {
    OrderVisits(&history, &duplicates);
    for (const std::vector<Visit> &eye : history.eyes)
      for (const Visit &v : eye) {
        rows += FormatValues(v.values) + "\n";
        ++visits;
      }
  }
  const long patients = static_cast<long>(spool.patients.size());
  CloseSpool(&spool);
  steps.push_back(Step{"the reader alone", Seconds() - t0, CpuSeconds() - c0, 0,
                       PeakMegabytes()});

  const char *tmp = getenv("TMPDIR");
  std::string dirTemplate =
      std::string(tmp && *tmp ? tmp : "/tmp") + "/orbt-bench-fhir-XXXXXX";
  if (!mkdtemp(&dirTemplate[0])) {
    err << "orbitrace-render: cannot make a temporary folder\n";
    return false;
  }
  const std::string dir = dirTemplate;
  std::ostringstream quiet;
  for (bool pictures : {false, true}) {
    FhirOptions o = options;
    o.pictures = pictures;
    o.threads = DefaultThreads();
    const std::string folder = dir + "/bulk/";
    std::ifstream again(csvPath, std::ios::binary);
    StatusPrinter status(quiet, Seconds, false);
    t0 = Seconds();
    c0 = CpuSeconds();
    MakeFhirExport(again, csvPath, folder, o, &status);
    const double seconds = Seconds() - t0, cpu = CpuSeconds() - c0;
    const double peak = PeakMegabytes();
    steps.push_back(Step{pictures ? "--fhir FOLDER/" : "--fhir --no-pictures",
                         seconds, cpu, MeasureAndRemove(dir + "/bulk"), peak});
  }
  const std::string pattern = dir + "/b-#########.png";
  std::istringstream batchRows(rows);
  StatusPrinter status(quiet, Seconds, false);
  BatchOptions batch;
  batch.threads = DefaultThreads();
  t0 = Seconds();
  c0 = CpuSeconds();
  const int rendered =
      RunBatch(batchRows, pattern, options.render, batch, &status).rendered;
  const double batchSeconds = Seconds() - t0, batchCpu = CpuSeconds() - c0;
  double batchBytes = 0;
  for (int row = 1; row <= rendered; ++row) {
    const std::string name = NameForRow(pattern, row);
    batchBytes += FileMegabytes(name);
    remove(name.c_str());
  }
  rmdir(dir.c_str());
  steps.push_back(Step{"--batch (PNG files)", batchSeconds, batchCpu,
                       batchBytes, PeakMegabytes()});

  out << csvPath << ": " << patients << " patients, " << visits
      << " visits (one Observation and one Media each)\n\n"
      << std::left << std::setw(24) << "" << std::right << std::setw(10)
      << "seconds" << std::setw(11) << "ms/visit" << std::setw(8) << "CPU s"
      << std::setw(12) << "output MB" << std::setw(14) << "peak RSS MB\n";
  for (const Step &s : steps)
    out << std::left << std::setw(24) << s.name << std::right << std::fixed
        << std::setprecision(2) << std::setw(10) << s.seconds
        << std::setprecision(4) << std::setw(11)
        << s.seconds * 1000 / (visits > 0 ? visits : 1) << std::setprecision(2)
        << std::setw(8) << s.cpu << std::setprecision(1) << std::setw(12)
        << s.megabytes << std::setw(13) << s.peak << "\n";
  const double reader = steps[0].seconds, plain = steps[1].seconds,
               drawn = steps[2].seconds;
  double peak = 0;
  for (const Step &s : steps)
    peak = std::max(peak, s.peak);
  out << std::setprecision(2)
      << "\nwithout pictures, vs the reader alone: " << plain / reader
      << "x (target 1.5x): " << (plain <= 1.5 * reader ? "yes" : "NO")
      << "; in processor time " << steps[1].cpu / steps[0].cpu << "x"
      << "\nwith pictures, time per sketch vs --batch: " << drawn / batchSeconds
      << "x (target 1.5x): " << (drawn <= 1.5 * batchSeconds ? "yes" : "NO")
      << "; in processor time " << steps[2].cpu / batchCpu << "x"
      << "\npeak memory under 200 MB: " << (peak < 200 ? "yes" : "NO") << "\n";
  return true;
}
