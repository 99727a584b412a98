// The command line of the visit-history report and of its benchmark.
#include "orbitrace-render/history/history_report.h"

#include <unistd.h>

#include <chrono>
#include <fstream>
#include <iostream>
#include <vector>

const char kHistoryUsage[] =
    "\n"
    "Visit history:\n"
    "  orbitrace-render [--size WxH] [--quiet] [--rise D] [--difference D]\n"
    "                   [--high D] [--patient ID]... [reading options]\n"
    "                   --history VISITS.csv|- REPORT.html|.pdf\n"
    "  orbitrace-render [--size WxH] --bench-history VISITS.csv\n"
    "\n"
    "  --history FILE|- REPORT\n"
    "                   one report of every patient in an export of stored\n"
    "                   values: delimited text whose header names the\n"
    "                   columns patient, eye (R/L/OD/OS/RE/LE), date\n"
    "                   (YYYY-MM-DD, D.M.YYYY, D/M/YYYY or M/D/YYYY) and\n"
    "                   values; other columns are left. REPORT is a web page\n"
    "                   (.html) or a PDF of A4 pages (.pdf). Bad rows are\n"
    "                   told with their line and left out (exit status 1)\n"
    "  --patient ID     report only this patient (repeatable); an ID that\n"
    "                   is not in the file gives no report (exit status 2)\n"
    "Reading options (each found from the file when not given):\n"
    "  --columns LIST   the columns of a file without a header row, in\n"
    "                   order, e.g. patient,eye,date,values,note; other\n"
    "                   names are columns left out\n"
    "  --column ROLE=NAME\n"
    "                   the header's name for patient, eye, date or values,\n"
    "                   e.g. --column patient=PatientID (repeatable)\n"
    "  --separator comma|semicolon|tab\n"
    "  --encoding utf-8|utf-16le|utf-16be|windows-1252\n"
    "  --date-order dmy|mdy\n"
    "                   day or month first in dates with slashes\n"
    "  --rise D         flag an eye whose vertical ratio rose by D or more\n"
    "                   since its first visit (default .20)\n"
    "  --difference D   flag a date on which the two eyes' vertical ratios\n"
    "                   differ by D or more (default .20)\n"
    "  --high D         flag a vertical ratio of D or more (default .70)\n"
    "                   D is a ratio from .01 to 1, or off\n"
    "  --bench-history FILE\n"
    "                   time per sketch of the report, as HTML and PDF,\n"
    "                   against --batch on the same values\n";

namespace {

int HistoryUsageError(std::ostream &err, const std::string &message) {
  err << "orbitrace-render: " << message << "\n"
      << "Try 'orbitrace-render --help'.\n";
  return kExitUsage;
}

double Seconds() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

bool IsReportName(const std::string &name) {
  const std::string::size_type dot = name.rfind('.');
  if (dot == std::string::npos)
    return false;
  std::string ext = name.substr(dot + 1);
  for (char &c : ext)
    c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  return ext == "html" || ext == "htm" || ext == "pdf";
}

} // namespace

bool IsHistoryCommand(int argc, const char *const *argv) {
  bool history = false;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "-h" || a == "--help")
      return false;
    history = history || a == "--history" || a == "--bench-history";
  }
  return history;
}

int HistoryMain(int argc, const char *const *argv, std::istream &in,
                std::ostream &out, std::ostream &err) {
  HistoryOptions options;
  std::string input, bench, error;
  bool haveInput = false, quiet = false;
  std::vector<std::string> positional;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const char *value = i + 1 < argc ? argv[i + 1] : nullptr;
    int *threshold = a == "--rise"         ? &options.thresholds.rise
                     : a == "--difference" ? &options.thresholds.difference
                     : a == "--high"       ? &options.thresholds.high
                                           : nullptr;
    if (threshold) {
      if (!value)
        return HistoryUsageError(err, a + " needs a ratio or off");
      if (!ParseThreshold(value, threshold, &error))
        return HistoryUsageError(err, a + ": " + error);
      ++i;
    } else if (a == "--size") {
      if (!value)
        return HistoryUsageError(err, "--size needs WxH");
      if (!ParseSize(value, &options.render.areaWidth,
                     &options.render.areaHeight, &error))
        return HistoryUsageError(err, error);
      ++i;
    } else if (const ReadOption *o = FindReadOption(a)) {
      if (!value)
        return HistoryUsageError(err, a + " needs " + o->value);
      if (!o->parse(value, &options.read, &error))
        return HistoryUsageError(err, a + ": " + error);
      ++i;
    } else if (a == "--quiet") {
      quiet = true;
    } else if (a == "--history" || a == "--bench-history") {
      if (!value)
        return HistoryUsageError(err, a + " needs a file or -");
      if (haveInput)
        return HistoryUsageError(err, "one --history or --bench-history");
      (a == "--history" ? input : bench) = value;
      haveInput = true;
      ++i;
    } else if (a.size() > 1 && a[0] == '-') {
      return HistoryUsageError(err,
                               "unknown option " + a + " for a visit history");
    } else {
      positional.push_back(a);
    }
  }

  if (!bench.empty()) {
    if (!positional.empty())
      return HistoryUsageError(err, "--bench-history takes no REPORT");
    return BenchHistory(bench, options, out, err);
  }
  if (positional.size() != 1)
    return HistoryUsageError(err, "--history needs exactly one REPORT");
  if (!IsReportName(positional[0]))
    return HistoryUsageError(err, "report \"" + positional[0] +
                                      "\" does not end in .html or .pdf");
  std::ifstream file;
  std::istream *csv = &in;
  std::string source = "standard input";
  if (input != "-") {
    file.open(input, std::ios::binary);
    if (!file) {
      err << "orbitrace-render: cannot read \"" << input << "\"\n";
      return kExitFailed;
    }
    csv = &file;
    source = input;
  }
  ProgressBar progress(err, 0, Seconds, !quiet && isatty(STDERR_FILENO));
  long sketches = 0;
  return MakeHistoryReport(*csv, source, positional[0], options, &progress, err,
                           &sketches);
}
