// Time per sketch of the visit-history report against --batch drawing the
// same values to PNG files, measured in one run on the same machine, with
// the process's peak memory after each step.
#include "orbitrace-render/history/history_bench.h"

#include "orbitrace-render/batch.h"
#include "orbitrace-render/bench_steps.h"
#include "orbitrace-render/history/history_report.h"
#include "orbitrace-render/seconds.h"
#include "orbitrace-render/status_printer.h"

#include <dirent.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <iomanip>
#include <ostream>
#include <sstream>

namespace {

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

// Every sketch of the spool: its values, one per line, for the batch in
// `rows`, and in the file `oneVisit` the same sketches again, each a
// patient of its own: what a report costs a patient beyond its sketches.
void CopySketches(VisitSpool *spool, const std::string &oneVisit,
                  std::string *rows) {
  std::ofstream single(oneVisit, std::ios::binary);
  single << "patient,eye,date,values\n";
  PatientHistory history;
  long n = 0;
  while (ReadNextPatient(spool, &history))
    for (const std::vector<Visit> &visits : history.eyes)
      for (const Visit &v : visits) {
        *rows += FormatValues(v.values) + "\n";
        single << "S" << ++n << ",R,2020-01-01," << FormatValues(v.values)
               << "\n";
      }
}

// Both reports of each input, timed and measured, then removed; returns
// the number of sketches the report of `csvPath` drew.
long TimeReports(const std::string &csvPath, const std::string &oneVisit,
                 const std::string &dir, const HistoryOptions &options,
                 std::vector<Step> *steps) {
  std::ostringstream quiet;
  long sketches = 0;
  for (const std::string &input : {csvPath, oneVisit}) {
    for (const char *name : {"report.html", "report.pdf"}) {
      const std::string path = dir + "/" + name;
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
      steps->push_back(Step{(input == csvPath ? "--history " : "  one-visit ") +
                                std::string(name),
                            seconds, total, largest, peak});
    }
  }
  return sketches;
}

// The table of steps, the batch's first, and whether each target is met.
void PrintSteps(const std::vector<Step> &steps, long sketches, int rendered,
                std::ostream &out) {
  out << std::left << std::setw(24) << "" << std::right << std::setw(10)
      << "seconds" << std::setw(12) << "ms/sketch" << std::setw(12)
      << "vs --batch" << std::setw(12) << "output MB" << std::setw(13)
      << "largest MB" << std::setw(14) << "peak RSS MB\n";
  const double batchPer = steps.front().seconds / (rendered > 0 ? rendered : 1);
  // The file's patients, and the same sketches one patient each.
  bool within[2] = {true, true};
  for (const Step &s : steps) {
    const double per = s.seconds / (sketches > 0 ? sketches : 1);
    bool &verdict = within[s.name.find("one-visit") != std::string::npos];
    verdict = verdict && per <= 1.5 * batchPer;
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
      << (within[0] ? "yes" : "NO")
      << "\none-visit report time per sketch within 1.5x of --batch: "
      << (within[1] ? "yes" : "NO")
      << "\npeak memory under 200 MB: " << (peak < 200 ? "yes" : "NO")
      << "\nevery file of the web report under 50 MB: "
      << (largestPage < 50 ? "yes" : "NO") << "\n";
}

} // namespace

bool BenchHistory(const std::string &csvPath, const HistoryOptions &options,
                  std::ostream &out, std::ostream &err) {
  VisitSpool spool;
  if (!SpoolFile(csvPath, options.read, &spool, err))
    return false;
  // Under TMPDIR, as the renderer's own benchmark: creating a file costs
  // more in some folders than drawing a sketch.
  const char *tmp = getenv("TMPDIR");
  std::string dirTemplate =
      std::string(tmp && *tmp ? tmp : "/tmp") + "/orbt-bench-history-XXXXXX";
  const char *madeDir = mkdtemp(&dirTemplate[0]);
  const std::string dir = madeDir ? madeDir : "";
  const std::string oneVisit = dir + "/one-visit.csv";
  std::string rows;
  if (madeDir)
    CopySketches(&spool, oneVisit, &rows);
  const long patients = static_cast<long>(spool.patients.size());
  CloseSpool(&spool);
  if (!madeDir) {
    err << "orbitrace-render: cannot make a temporary folder\n";
    return false;
  }

  std::vector<Step> steps;
  const long sketches = TimeReports(csvPath, oneVisit, dir, options, &steps);
  remove(oneVisit.c_str());
  const BatchTime batch = TimeBatch(rows, dir, options.render);
  const int rendered = batch.rendered;
  steps.insert(steps.begin(),
               Step{"--batch (PNG files)", batch.seconds, batch.megabytes,
                    batch.largest, PeakMegabytes()});
  rmdir(dir.c_str());

  const PictureGeometry g =
      GeometryFor(options.render.areaWidth, options.render.areaHeight);
  out << csvPath << ": " << patients << " patients, " << sketches
      << " sketches of " << g.width << "x" << g.height << "; --batch drew "
      << rendered
      << "; one-visit: the same sketches, each a patient of its own\n\n";
  PrintSteps(steps, sketches, rendered, out);
  return true;
}
