// Time per sketch of the visit-history report against --batch drawing the
// same values to PNG files, measured in one run on the same machine, with
// the process's peak memory after each step.
#include "orbitrace-render/history/history_bench.h"

#include "orbitrace-render/batch.h"
#include "orbitrace-render/history/history_report.h"
#include "orbitrace-render/seconds.h"
#include "orbitrace-render/status_printer.h"

#include <dirent.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <iomanip>
#include <ostream>
#include <sstream>

namespace {

double PeakMegabytes() {
  struct rusage usage;
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024.0;
}

double FileMegabytes(const std::string &path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 ? st.st_size / 1048576.0 : 0;
}

struct Step {
  std::string name;
  double seconds;
  double megabytes; // output size
  double largest;   // its largest file
  double peak;      // process peak after the step
};

// The report's size and its largest file, its folder of pages included;
// both are removed.
void MeasureAndRemove(const std::string &path, double *total, double *largest) {
  *total = *largest = FileMegabytes(path);
  remove(path.c_str());
  const std::string folder = path.substr(0, path.rfind('.')) + "-pages";
  DIR *dir = opendir(folder.c_str());
  if (!dir)
    return;
  while (const dirent *entry = readdir(dir)) {
    const std::string file = folder + "/" + entry->d_name;
    if (entry->d_name[0] == '.')
      continue;
    const double size = FileMegabytes(file);
    *total += size;
    *largest = std::max(*largest, size);
    remove(file.c_str());
  }
  closedir(dir);
  rmdir(folder.c_str());
}

} // namespace

bool BenchHistory(const std::string &csvPath, const HistoryOptions &options,
                  std::ostream &out, std::ostream &err) {
  // The batch gets the values of every good row, one per line.
  std::ifstream csv(csvPath, std::ios::binary);
  if (!csv) {
    err << "orbitrace-render: cannot read \"" << csvPath << "\"\n";
    return false;
  }
  VisitSpool spool;
  std::string error;
  if (!SpoolVisits(
          csv, options.read, &spool, [](const VisitProblem &) {}, &error)) {
    err << "orbitrace-render: " << csvPath << ": " << error << "\n";
    return false;
  }
  char dirTemplate[] = "/tmp/orbt-bench-history-XXXXXX";
  const char *dir = mkdtemp(dirTemplate);
  if (!dir) {
    err << "orbitrace-render: cannot make a temporary folder\n";
    CloseSpool(&spool);
    return false;
  }
  // The same sketches again, each a patient of its own: what a report
  // costs a patient beyond its sketches.
  const std::string oneVisit = std::string(dir) + "/one-visit.csv";
  std::ofstream single(oneVisit, std::ios::binary);
  single << "patient,eye,date,values\n";
  std::string rows;
  PatientHistory history;
  long n = 0;
  while (ReadNextPatient(&spool, &history))
    for (const std::vector<Visit> &visits : history.eyes)
      for (const Visit &v : visits) {
        rows += FormatValues(v.values) + "\n";
        single << "S" << ++n << ",R,2020-01-01," << FormatValues(v.values)
               << "\n";
      }
  single.close();
  const long patients = static_cast<long>(spool.patients.size());
  CloseSpool(&spool);
  std::vector<Step> steps;
  std::ostringstream quiet;
  long sketches = 0;
  for (const std::string &input : {csvPath, oneVisit}) {
    for (const char *name : {"report.html", "report.pdf"}) {
      const std::string path = std::string(dir) + "/" + name;
      std::ifstream again(input, std::ios::binary);
      StatusPrinter status(quiet, Seconds, false);
      const double t0 = Seconds();
      const long drawn =
          MakeHistoryReport(again, input, path, options, &status).sketches;
      const double seconds = Seconds() - t0;
      if (input == csvPath)
        sketches = drawn;
      const double peak = PeakMegabytes();
      double total, largest;
      MeasureAndRemove(path, &total, &largest);
      steps.push_back(Step{(input == csvPath ? "--history " : "  one-visit ") +
                               std::string(name),
                           seconds, total, largest, peak});
    }
  }
  remove(oneVisit.c_str());
  const std::string pattern = std::string(dir) + "/b-#########.png";
  std::istringstream batchRows(rows);
  StatusPrinter status(quiet, Seconds, false);
  double t0 = Seconds();
  // --batch as it runs by default: one thread per core.
  BatchOptions batch;
  batch.threads = DefaultThreads();
  const int rendered =
      RunBatch(batchRows, pattern, options.render, batch, &status).rendered;
  const double batchSeconds = Seconds() - t0;
  double batchBytes = 0, batchLargest = 0;
  for (int row = 1; row <= rendered; ++row) {
    const std::string name = NameForRow(pattern, row);
    batchBytes += FileMegabytes(name);
    batchLargest = std::max(batchLargest, FileMegabytes(name));
    remove(name.c_str());
  }
  rmdir(dir);
  steps.insert(steps.begin(), Step{"--batch (PNG files)", batchSeconds,
                                   batchBytes, batchLargest, PeakMegabytes()});

  const PictureGeometry g =
      GeometryFor(options.render.areaWidth, options.render.areaHeight);
  out << csvPath << ": " << patients << " patients, " << sketches
      << " sketches of " << g.width << "x" << g.height << "; --batch drew "
      << rendered
      << "; one-visit: the same sketches, each a patient of its own\n\n"
      << std::left << std::setw(24) << "" << std::right << std::setw(10)
      << "seconds" << std::setw(12) << "ms/sketch" << std::setw(12)
      << "vs --batch" << std::setw(12) << "output MB" << std::setw(13)
      << "largest MB" << std::setw(14) << "peak RSS MB\n";
  const double batchPer = batchSeconds / (rendered > 0 ? rendered : 1);
  bool within = true;
  for (const Step &s : steps) {
    const double per = s.seconds / (sketches > 0 ? sketches : 1);
    within = within && per <= 1.5 * batchPer;
    out << std::left << std::setw(24) << s.name << std::right << std::fixed
        << std::setprecision(2) << std::setw(10) << s.seconds
        << std::setprecision(3) << std::setw(12) << per * 1000
        << std::setprecision(2) << std::setw(11) << per / batchPer << "x"
        << std::setprecision(1) << std::setw(12) << s.megabytes << std::setw(13)
        << s.largest << std::setw(13) << s.peak << "\n";
  }
  double peak = 0, largestPage = 0;
  for (const Step &s : steps) {
    peak = std::max(peak, s.peak);
    if (s.name.find(".html") != std::string::npos)
      largestPage = s.largest;
  }
  out << "\nreport time per sketch within 1.5x of --batch: "
      << (within ? "yes" : "NO")
      << "\npeak memory under 200 MB: " << (peak < 200 ? "yes" : "NO")
      << "\nevery file of the web report under 50 MB: "
      << (largestPage < 50 ? "yes" : "NO") << "\n";
  return true;
}
