#include "orbitrace-render/bench_steps.h"

#include "orbitrace-render/batch.h"
#include "orbitrace-render/history/visit_spool.h"
#include "orbitrace-render/seconds.h"
#include "orbitrace-render/status_printer.h"

#include <stdio.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <ostream>
#include <sstream>

double PeakMegabytes() {
  struct rusage usage;
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024.0;
}

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

bool SpoolFile(const std::string &csvPath, const ReadSettings &read,
               VisitSpool *spool, std::ostream &err) {
  std::ifstream csv(csvPath, std::ios::binary);
  if (!csv) {
    err << "orbitrace-render: cannot read \"" << csvPath << "\"\n";
    return false;
  }
  std::string error;
  if (!SpoolVisits(
          csv, read, spool, [](const VisitProblem &) {}, &error)) {
    err << "orbitrace-render: " << csvPath << ": " << error << "\n";
    return false;
  }
  return true;
}

BatchTime TimeBatch(const std::string &rows, const std::string &dir,
                    const RenderOptions &render) {
  const std::string pattern = dir + "/b-#########.png";
  std::istringstream batchRows(rows);
  std::ostringstream quiet;
  StatusPrinter status(quiet, Seconds, false);
  BatchOptions batch;
  batch.threads = DefaultThreads();
  BatchTime time;
  const double t0 = Seconds(), c0 = CpuSeconds();
  time.rendered = RunBatch(batchRows, pattern, render, batch, &status).rendered;
  time.seconds = Seconds() - t0;
  time.cpu = CpuSeconds() - c0;
  for (int row = 1; row <= time.rendered; ++row) {
    const std::string name = NameForRow(pattern, row);
    time.megabytes += FileMegabytes(name);
    time.largest = std::max(time.largest, FileMegabytes(name));
    remove(name.c_str());
  }
  return time;
}
