// What the benchmarks of the report and of the health-record export
// measure alike: the process's memory and time, the files' sizes, the
// export read, and --batch drawing the same values.
#pragma once

#include <iosfwd>
#include <string>

struct ReadSettings;
struct RenderOptions;
struct VisitSpool;

// The process's peak resident memory so far.
double PeakMegabytes();

// The process's processor time so far, every thread's, user and system.
double CpuSeconds();

// A file's size, 0 for none.
double FileMegabytes(const std::string &path);

// The spool of the export at `csvPath`, no row's problem told. False, with
// the reason on `err`, when it cannot be read.
bool SpoolFile(const std::string &csvPath, const ReadSettings &read,
               VisitSpool *spool, std::ostream &err);

struct BatchTime {
  double seconds = 0, cpu = 0; // cpu: processor seconds, every thread's
  double megabytes = 0;        // the files' size
  double largest = 0;          // the largest file's
  int rendered = 0;
};

// --batch as it runs by default, one thread per core, over `rows` (values,
// one set a line) into the folder `dir`; its files are measured and removed.
BatchTime TimeBatch(const std::string &rows, const std::string &dir,
                    const RenderOptions &render);
