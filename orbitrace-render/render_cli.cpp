#include "orbitrace-render/render_cli.h"

#include "cli/integer.h"
#include "cli/options.h"
#include "orbitrace-render/batch.h"
#include "orbitrace-render/fhir/fhir_bench.h"
#include "orbitrace-render/fhir/fhir_codes.h"
#include "orbitrace-render/fhir/fhir_export.h"
#include "orbitrace-render/fhir/fhir_identity.h"
#include "orbitrace-render/fhir/fhir_send.h"
#include "orbitrace-render/history/history_bench.h"
#include "orbitrace-render/history/history_report.h"
#include "orbitrace-render/history/read_settings.h"
#include "orbitrace-render/history/report_text.h"
#include "orbitrace-render/output_file.h"
#include "orbitrace-render/render_bench.h"
#include "orbitrace-render/status_printer.h"

#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <istream>
#include <ostream>
#include <vector>

namespace {

const int kMinSide = 16, kMaxSide = 8000;

// What a command was asked: its options' values and its operands, and
// where it reads and writes.
struct Invocation {
  Invocation(std::istream &in, std::ostream &out, std::ostream &err, bool smart,
             std::function<double()> now, std::vector<std::string> operands)
      : in(in), out(out), err(err), smart(smart), now(std::move(now)),
        operands(std::move(operands)) {}
  std::istream &in;
  std::ostream &out, &err;
  bool smart; // err shows a progress bar
  std::function<double()> now;
  std::vector<std::string> operands;
  RenderOptions render;
  FlagThresholds thresholds;
  ReadSettings read;
  BatchOptions batch;
  long benchCount = 0;
  std::string input; // the file of --batch, --history, --bench-history, --fhir
  // The clinic's system for its patient numbers: --fhir has none of its own.
  std::string patientSystem, patientSystemNote;
  bool pictures = true;
  long bundleEntries = 0;
  unsigned long long bundleBytes = 0;
  bool quiet = false;
  // Sending to a server.
  bool replace = false;
  long retries = RetryRule().retries;
  std::string authFile;
};

// The commands: each is asked for by an option, a picture when none is.
enum CommandBit : unsigned {
  kDraw = 1,
  kBatchRun = 2,
  kBenchRun = 4,
  kHistoryRun = 8,
  kBenchHistoryRun = 16,
  kFhirRun = 32,
  kBenchFhirRun = 64,
  kPictures = kDraw | kBatchRun | kBenchRun,
  // The commands that read an export of visits.
  kHistories = kHistoryRun | kBenchHistoryRun | kFhirRun | kBenchFhirRun,
  kEvery = kPictures | kHistories
};

// Every option of every command, each written here once: the parser and the
// usage read it.
struct OptionRow {
  Option option;
  const char *needs; // what its value must be, for the "needs" message
  unsigned takenBy;  // the commands that take it
  unsigned asks;     // the command it asks for; 0 for none
  // Takes its value into `inv`; false with the reason (or none) when bad.
  bool (*take)(const std::string &value, Invocation &inv, std::string *error);
};

const OptionRow kOptions[] = {
    {{"size", "WxH",
      "the sketch area in pixels (default 289x263, the\n"
      "dialog's at 96 dpi); the picture adds the capture\n"
      "frame's margin in the dialog's proportions"},
     "WxH",
     kEvery,
     0,
     [](const std::string &v, Invocation &inv, std::string *error) {
       return ParseSize(v, &inv.render.areaWidth, &inv.render.areaHeight,
                        error);
     }},
    {{"antialias", nullptr,
      "smooth edges; by default every pixel is in a shape or\n"
      "not, as in the plug-in's picture"},
     nullptr,
     kPictures | kFhirRun,
     0,
     [](const std::string &, Invocation &inv, std::string *) {
       return inv.render.antialias = true;
     }},
    {{"batch", "FILE|-",
      "one line of values per row, from FILE or standard\n"
      "input; blank lines are skipped. PATTERN: output\n"
      "name with one run of '#', replaced by the row\n"
      "number padded to the run's length: sketch-####.png"},
     "a file or -",
     kDraw | kBatchRun,
     kBatchRun,
     [](const std::string &v, Invocation &inv, std::string *) {
       inv.input = v;
       return true;
     }},
    {{"quiet", nullptr, "no progress bar"},
     nullptr,
     kEvery,
     0,
     [](const std::string &, Invocation &inv, std::string *) {
       return inv.quiet = true;
     }},
    {{"threads", "N",
      "rows drawn at the same time, 1 to 64 (default: one\n"
      "per core); the output does not depend on it"},
     "a number from 1 to 64",
     kPictures | kFhirRun,
     0,
     [](const std::string &v, Invocation &inv, std::string *) {
       long n = 0;
       const bool ok = ParseInteger(v, 1, 64, &n);
       inv.batch.threads = static_cast<int>(n);
       return ok;
     }},
    {{"bench", "N",
      "write batches of N pictures with the PNG encoder of\n"
      "old and the one of today, on 1 thread and on all,\n"
      "against encoding the same pictures alone"},
     "a count from 1 to 1000000",
     kPictures,
     kBenchRun,
     [](const std::string &v, Invocation &inv, std::string *) {
       return ParseInteger(v, 1, 1000000, &inv.benchCount);
     }},
    {{"help", nullptr, "this text (also -h)"}, nullptr, kEvery, 0, nullptr},
    {{"history", "FILE|- REPORT",
      "one report of every patient in an export of stored\n"
      "values: delimited text whose header names the\n"
      "columns patient, eye (R/L, OD/OS, Re/Li, D/G...), date\n"
      "(YYYY-MM-DD, D.M.YYYY, D/M/YYYY or M/D/YYYY) and\n"
      "values; other columns are left. REPORT is a web page\n"
      "(.html) or a PDF of A4 pages (.pdf). Bad rows are\n"
      "told with their line and left out (exit status 1)"},
     "a file or -",
     kHistories,
     kHistoryRun,
     [](const std::string &v, Invocation &inv, std::string *) {
       inv.input = v;
       return true;
     }},
    {{"patient", "ID",
      "report only this patient (repeatable); an ID that\n"
      "is not in the file gives no report (exit status 2)"},
     "a patient's ID",
     kHistories,
     0,
     [](const std::string &v, Invocation &inv, std::string *error) {
       return ParsePatientOption(v, &inv.read, error);
     }},
    {{"columns", "LIST",
      "the columns of a file without a header row, in\n"
      "order, e.g. patient,eye,date,values,note (note: the\n"
      "visit's note); other names are columns left out"},
     "a list of column names",
     kHistories,
     0,
     [](const std::string &v, Invocation &inv, std::string *error) {
       return ParseColumnsOption(v, &inv.read, error);
     }},
    {{"column", "ROLE=NAME",
      "the header's name for patient, eye, date or values,\n"
      "e.g. --column patient=PatientID (repeatable); also\n"
      "id=NAME (the patients' IDs, or none), name=NAME (the\n"
      "names beside IDs in the patient column), note=NAME\n"
      "(the visits' notes), and horizontal, vertical,\n"
      "location and rim"},
     "ROLE=NAME",
     kHistories,
     0,
     [](const std::string &v, Invocation &inv, std::string *error) {
       return ParseColumnOption(v, &inv.read, error);
     }},
    {{"separator", "comma|semicolon|tab", ""},
     "comma, semicolon or tab",
     kHistories,
     0,
     [](const std::string &v, Invocation &inv, std::string *error) {
       return ParseSeparatorOption(v, &inv.read, error);
     }},
    {{"encoding", "NAME",
      "utf-8, utf-16le, utf-16be, windows-1250 to\n"
      "windows-1258 (windows-1252: ansi), macintosh (mac),\n"
      "mac-centraleurope, mac-cyrillic, cp850 (dos), cp437,\n"
      "cp852 or cp866"},
     "utf-8, utf-16le, utf-16be, windows-1250 to windows-1258 (windows-1252: "
     "ansi), macintosh (mac), mac-centraleurope, mac-cyrillic, cp850 (dos), "
     "cp437, cp852 or cp866",
     kHistories,
     0,
     [](const std::string &v, Invocation &inv, std::string *error) {
       return ParseEncodingOption(v, &inv.read, error);
     }},
    {{"date-order", "dmy|mdy", "day or month first in dates with slashes"},
     "dmy or mdy",
     kHistories,
     0,
     [](const std::string &v, Invocation &inv, std::string *error) {
       return ParseDateOrderOption(v, &inv.read, error);
     }},
    {{"rise", "D",
      "flag an eye whose vertical ratio rose by D or more\n"
      "since its first visit (default .20)"},
     "a ratio or off",
     kHistoryRun | kBenchHistoryRun,
     0,
     [](const std::string &v, Invocation &inv, std::string *error) {
       return ParseThreshold(v, &inv.thresholds.rise, error);
     }},
    {{"difference", "D",
      "flag a date on which the two eyes' vertical ratios\n"
      "differ by D or more (default .20)"},
     "a ratio or off",
     kHistoryRun | kBenchHistoryRun,
     0,
     [](const std::string &v, Invocation &inv, std::string *error) {
       return ParseThreshold(v, &inv.thresholds.difference, error);
     }},
    {{"high", "D",
      "flag a vertical ratio of D or more (default .70)\n"
      "D is a ratio from .01 to 1, or off"},
     "a ratio or off",
     kHistoryRun | kBenchHistoryRun,
     0,
     [](const std::string &v, Invocation &inv, std::string *error) {
       return ParseThreshold(v, &inv.thresholds.high, error);
     }},
    {{"bench-history", "FILE",
      "time per sketch of the report, as HTML and PDF,\n"
      "against --batch on the same values"},
     "a file or -",
     kHistories,
     kBenchHistoryRun,
     [](const std::string &v, Invocation &inv, std::string *) {
       inv.input = v;
       return true;
     }},
    {{"fhir", "FILE|- OUTPUT",
      "every visit of an export, read as --history reads\n"
      "it, as a Patient, an Observation per eye and visit\n"
      "and a Media of its sketch. OUTPUT.json: one\n"
      "transaction Bundle; a folder: bulk files\n"
      "Patient.ndjson, Observation.ndjson, Media.ndjson,\n"
      "or Bundles with --bundle-entries or --bundle-bytes"},
     "a file or -",
     kFhirRun,
     kFhirRun,
     [](const std::string &v, Invocation &inv, std::string *) {
       inv.input = v;
       return true;
     }},
    {{"patient-system", "URI",
      "the system of the patients' identifiers, the\n"
      "clinic's URI for its patient numbers (needed by\n"
      "--fhir); a bare OID or UUID is made urn:oid:/urn:uuid:"},
     "a URI",
     kFhirRun | kBenchFhirRun,
     0,
     [](const std::string &v, Invocation &inv, std::string *error) {
       return PatientSystemOf(v, &inv.patientSystem, &inv.patientSystemNote,
                              error);
     }},
    {{"bundle-entries", "N",
      "with an OUTPUT folder: transaction Bundles of at most\n"
      "N entries each, in place of the bulk files"},
     "a number from 2 to 100000",
     kFhirRun,
     0,
     [](const std::string &v, Invocation &inv, std::string *) {
       return ParseInteger(v, 2, 100000, &inv.bundleEntries);
     }},
    {{"bundle-bytes", "SIZE",
      "with an OUTPUT folder: transaction Bundles of at most\n"
      "SIZE bytes each (k, M: 1024, 1048576 bytes)"},
     "a size such as 900k or 4M, at least 4k",
     kFhirRun,
     0,
     [](const std::string &v, Invocation &inv, std::string *) {
       return ParseByteSize(v, &inv.bundleBytes);
     }},
    {{"replace", nullptr,
      "with a server URL: for the patients sent, remove the\n"
      "visits of ours this export no longer holds"},
     nullptr,
     kFhirRun,
     0,
     [](const std::string &, Invocation &inv, std::string *) {
       return inv.replace = true;
     }},
    {{"retries", "N",
      "with a server URL: tries after a lost connection or\n"
      "an answer that says later (429, 502, 503, 504), 0 to\n"
      "20 (default 5)"},
     "a number from 0 to 20",
     kFhirRun,
     0,
     [](const std::string &v, Invocation &inv, std::string *) {
       return ParseInteger(v, 0, 20, &inv.retries);
     }},
    {{"auth-file", "FILE",
      "with a server URL: its first line \"Bearer TOKEN\" or\n"
      "\"Basic USER:PASSWORD\" (else ORBITRACE_FHIR_TOKEN, or\n"
      "ORBITRACE_FHIR_USER and ORBITRACE_FHIR_PASSWORD)"},
     "a file",
     kFhirRun,
     0,
     [](const std::string &v, Invocation &inv, std::string *) {
       inv.authFile = v;
       return !v.empty();
     }},
    {{"no-pictures", nullptr, "no Media: the values alone"},
     nullptr,
     kFhirRun,
     0,
     [](const std::string &, Invocation &inv, std::string *) {
       inv.pictures = false;
       return true;
     }},
    {{"bench-fhir", "FILE",
      "time of --fhir's bulk files, without pictures\n"
      "against the reader alone, with pictures against\n"
      "--batch on the same values"},
     "a file",
     kHistories,
     kBenchFhirRun,
     [](const std::string &v, Invocation &inv, std::string *) {
       inv.input = v;
       return true;
     }},
};
const std::vector<Option> kOptionList = OptionsOf(kOptions);

int OptionNamed(const char *name) {
  for (size_t id = 0; id < kOptionList.size(); ++id)
    if (strcmp(kOptionList[id].name, name) == 0)
      return int(id);
  return kUnknownOption;
}

const UsageLayout kUsage = {
    "usage: orbitrace-render [OPTIONS] VALUES OUTPUT\n"
    "       orbitrace-render [OPTIONS] --batch FILE|- PATTERN\n"
    "       orbitrace-render [--size WxH] [--threads N] --bench N\n"
    "\n"
    "Draws the sketch picture that the plug-in puts on the clipboard, from\n"
    "the four values its Draw call returns, e.g. \".30|.40|3|-.20\"\n"
    "(horizontal ratio, vertical ratio, location, rim; each exactly an item\n"
    "of its list). The format follows OUTPUT's extension: .png, .svg, .pdf.\n"
    "\n",
    19,
    {{"history",
      "\n"
      "Visit history:\n"
      "  orbitrace-render [--size WxH] [--quiet] [--rise D] [--difference D]\n"
      "                   [--high D] [--patient ID]... [reading options]\n"
      "                   --history VISITS.csv|- REPORT.html|.pdf\n"
      "  orbitrace-render [--size WxH] --bench-history VISITS.csv\n"
      "\n"},
     {"columns",
      "Reading options (each found from the file when not given):\n"},
     {"fhir",
      "\n"
      "Health records (FHIR R4):\n"
      "  orbitrace-render --patient-system URI [--no-pictures] [--threads "
      "N]\n"
      "                   [--bundle-entries N] [--bundle-bytes SIZE]\n"
      "                   [--quiet] [--patient ID]... [reading options]\n"
      "                   --fhir VISITS.csv|- OUTPUT.json|FOLDER/\n"
      "\n"}},
    "",
    {kExitOk, kExitFailed, kExitUsage, kExitNoReport}};

int Usage(std::ostream &err, const std::string &message) {
  err << UsageError("orbitrace-render", message);
  return kExitUsage;
}

int Fail(std::ostream &err, const std::string &message) {
  err << "orbitrace-render: " << message << "\n";
  return kExitFailed;
}

// What the history and the export name as their input.
std::string SourceName(const Invocation &inv) {
  return inv.input == "-" ? "standard input" : inv.input;
}

// The same, as a message puts it: a file's name in quotes.
std::string ReadFromText(const Invocation &inv) {
  return inv.input == "-" ? SourceName(inv) : "\"" + inv.input + "\"";
}

// `name` opened, or standard input for "-"; null with the reason told when
// it cannot be read.
std::istream *OpenInput(Invocation &inv, std::ifstream *file) {
  if (inv.input == "-")
    return &inv.in;
  file->open(inv.input, std::ios::binary);
  if (!*file) {
    Fail(inv.err, "cannot read \"" + inv.input + "\"");
    return nullptr;
  }
  return file;
}

int DrawCommand(Invocation &inv) {
  StoredValues values;
  std::string error;
  if (!ParseValues(inv.operands[0], &values, &error))
    return Usage(inv.err, error);
  OutputFormat format;
  if (!FormatForName(inv.operands[1], &format))
    return Usage(inv.err, "\"" + inv.operands[1] +
                              "\" does not end in .png, .svg or .pdf");
  if (!RenderToFile(values, inv.render, inv.operands[1], &error))
    return Fail(inv.err, error);
  return kExitOk;
}

int BatchCommand(Invocation &inv) {
  std::string error;
  if (!CheckPattern(inv.operands[0], &error))
    return Usage(inv.err, error);
  std::ifstream file;
  std::istream *rows = OpenInput(inv, &file);
  if (!rows)
    return kExitFailed;
  StatusPrinter status(inv.err, inv.now, inv.smart && !inv.quiet);
  const BatchResult result =
      RunBatch(*rows, inv.operands[0], inv.render, inv.batch, &status);
  if (result.failed == 0)
    return kExitOk;
  status.Message(std::to_string(result.failed) + " of " +
                 std::to_string(result.failed + result.rendered) +
                 " rows failed");
  return kExitFailed;
}

int BenchCommand(Invocation &inv) {
  return Bench(inv.benchCount, inv.render, inv.batch.threads, inv.out)
             ? kExitOk
             : kExitFailed;
}

HistoryOptions ReportOptions(const Invocation &inv) {
  HistoryOptions options;
  options.thresholds = inv.thresholds;
  options.render = inv.render;
  options.read = inv.read;
  return options;
}

// After a run that made no report, a file of the report's name is an
// earlier one: the message says so and when it was written, so it is not
// taken for this run's.
void TellEarlierReport(StatusPrinter &status, const std::string &report) {
  struct stat st;
  if (stat(report.c_str(), &st) != 0)
    return;
  status.Message("\"" + DisplayText(report) +
                 "\" is an earlier report, written " + MadeText(st.st_mtime) +
                 ", left as it was");
}

int HistoryCommand(Invocation &inv) {
  const std::string &report = inv.operands[0];
  ReportFormat format;
  if (!ReportFormatForName(report, &format))
    return Usage(inv.err,
                 "report \"" + report + "\" does not end in .html or .pdf");
  // The report replaces its name only once it is whole, but an export of
  // that name would be gone all the same.
  if (SameFile(inv.input, report))
    return Usage(inv.err, "report \"" + report + "\" is the file read, " +
                              ReadFromText(inv) + "; no report made");
  StatusPrinter status(inv.err, inv.now, inv.smart && !inv.quiet);
  std::ifstream file;
  std::istream *csv = OpenInput(inv, &file);
  if (!csv) {
    TellEarlierReport(status, report);
    return kExitNoReport;
  }
  const std::string source = SourceName(inv);
  const ReportResult result =
      MakeHistoryReport(*csv, source, report, ReportOptions(inv), &status);
  if (!result.missingPatients.empty()) {
    for (const std::string &id : result.missingPatients)
      status.Message(source + ": no row names patient \"" + DisplayText(id) +
                     "\"");
    status.Message("no report made (--patient takes a patient's ID or name "
                   "as the file writes it)");
    TellEarlierReport(status, report);
    return kExitUsage;
  }
  if (!result.made) {
    status.Message(result.failure);
    TellEarlierReport(status, report);
    return kExitNoReport;
  }
  if (result.leftOut == 0)
    return kExitOk;
  status.Message(std::to_string(result.leftOut) +
                 (result.leftOut == 1 ? " row" : " rows") +
                 " left out; the report was made from the other " +
                 std::to_string(result.sketches));
  return kExitFailed;
}

FhirOptions ExportOptions(const Invocation &inv) {
  FhirOptions options;
  options.read = inv.read;
  options.render = inv.render;
  // The benchmark's figures need no clinic.
  options.patientSystem =
      inv.patientSystem.empty() ? kDefaultPatientSystem : inv.patientSystem;
  options.pictures = inv.pictures;
  options.bundleEntries = inv.bundleEntries;
  options.bundleBytes = inv.bundleBytes;
  options.threads = inv.batch.threads;
  return options;
}

// What the run says when it is over: its warnings, and the summary when a
// row was left out or a patient's names need a look.
int FhirSummary(const Invocation &inv, const FhirResult &result, FhirForm form,
                StatusPrinter *status) {
  const std::string &output = inv.operands[0];
  if (result.controlsDropped)
    status->Message(std::to_string(result.controlsDropped) +
                    " control characters (such as NUL, bell, form feed or "
                    "escape), which FHIR's text cannot hold, dropped from "
                    "notes, names and IDs");
  if (result.bundleBytes > kLargeBundleBytes)
    status->Message(
        "\"" + DisplayText(output) + "\" is " +
        std::to_string(result.bundleBytes >> 20) +
        " MB, more than many servers take in one request; a folder of "
        "smaller Bundles (--bundle-entries N or --bundle-bytes SIZE with an "
        "OUTPUT folder, e.g. " +
        DisplayText(output.substr(0, output.rfind('.'))) +
        "/) or the bulk form (the same folder without them) is made for "
        "imports of this size");
  if (result.largeBundles)
    status->Message(std::to_string(result.largeBundles) +
                    " Bundles are over --bundle-bytes, each by one visit "
                    "whose picture alone is larger");
  if (form == FhirForm::kBulk)
    status->Message(
        "the bulk files give each Patient an id of their own, so a server "
        "that already holds these patients would hold them twice; load "
        "Bundles there (an OUTPUT.json, or --bundle-entries N with a "
        "folder), which find each patient by its identifier");
  if (result.leftOut == 0 && result.namesTold == 0)
    return kExitOk;
  const std::string sketches = std::to_string(result.visits) + " visits (" +
                               std::to_string(result.observations) +
                               " sketches)";
  if (result.leftOut)
    status->Message(std::to_string(result.leftOut) +
                    (result.leftOut == 1 ? " row" : " rows") +
                    " left out; the other " + sketches + " were written");
  else
    status->Message(sketches + " written");
  if (result.namesTold)
    status->Message(
        std::to_string(result.namesTold) +
        (result.namesTold == 1 ? " patient ID carries" : " patient IDs carry") +
        " more than one name, each told above");
  return kExitFailed;
}

// --fhir FILE URL: the export sent to the server at URL.
int SendCommand(Invocation &inv) {
  SendOptions options;
  options.fhir = ExportOptions(inv);
  options.url = inv.operands[0];
  options.replace = inv.replace;
  options.retry.retries = static_cast<int>(inv.retries);
  std::string error;
  if (!ReadCredentials(inv.authFile, &options.credentials, &error))
    return Usage(inv.err, "--auth-file: " + error);
  StatusPrinter status(inv.err, inv.now, inv.smart && !inv.quiet);
  if (!inv.patientSystemNote.empty())
    status.Message(inv.patientSystemNote);
  if (options.url.compare(0, 8, "https://") != 0)
    status.Message("sending without TLS to " + options.url +
                   ": anyone on the way can read the records");
  std::ifstream file;
  std::istream *csv = OpenInput(inv, &file);
  if (!csv)
    return kExitNoReport;
  const SendResult result = SendFhirExport(
      *csv, SourceName(inv), options, &status,
      [](double seconds) { usleep(static_cast<useconds_t>(seconds * 1e6)); });
  if (!result.made.missingPatients.empty()) {
    for (const std::string &id : result.made.missingPatients)
      status.Message(SourceName(inv) + ": no row names patient \"" +
                     DisplayText(id) + "\"");
    status.Message("nothing sent (--patient takes an ID as the file's "
                   "patient column writes it)");
    return kExitUsage;
  }
  if (!result.failure.empty()) {
    status.Message(result.failure +
                   (result.sent || !result.made.made
                        ? ""
                        : "; what the server took stays there, and a run "
                          "again sends everything, doubling nothing"));
    return kExitNoReport;
  }
  const int told = FhirSummary(inv, result.made, FhirForm::kBundles, &status);
  return told == kExitOk && result.extra ? kExitFailed : told;
}

int FhirCommand(Invocation &inv) {
  const std::string &output = inv.operands[0];
  if (IsServerUrl(output) && inv.patientSystem.empty())
    return Usage(inv.err,
                 "--fhir needs --patient-system URI, the clinic's own system "
                 "for its patient numbers, so that no other clinic's "
                 "patient of the same number is taken for one of its own "
                 "(e.g. --patient-system https://clinic.example/patients, "
                 "or the OID its numbering has)");
  if (IsServerUrl(output))
    return SendCommand(inv);
  if (inv.replace || !inv.authFile.empty())
    return Usage(inv.err,
                 std::string(inv.replace ? "--replace" : "--auth-file") +
                     " is for sending to a server: OUTPUT is then its base "
                     "URL, http(s)://…");
  FhirForm form;
  if (!FhirFormForName(output, &form))
    return Usage(inv.err, "output \"" + output +
                              "\" does not end in .json and is not a folder "
                              "(a new folder's name ends in /)");
  // Without the clinic's own system, two sites' patient 100 would be one
  // patient on the server.
  if (inv.patientSystem.empty())
    return Usage(inv.err,
                 "--fhir needs --patient-system URI, the clinic's own system "
                 "for its patient numbers, so that no other clinic's "
                 "patient of the same number is taken for one of its own "
                 "(e.g. --patient-system https://clinic.example/patients, "
                 "or the OID its numbering has)");
  const bool split = inv.bundleEntries || inv.bundleBytes;
  if (split && form == FhirForm::kBundle)
    return Usage(inv.err, "--bundle-entries and --bundle-bytes write a "
                          "folder of Bundles: OUTPUT must be a folder (a new "
                          "folder's name ends in /)");
  if (split)
    form = FhirForm::kBundles;
  if (inv.bundleEntries &&
      inv.bundleEntries < FewestBundleEntries(inv.pictures))
    return Usage(inv.err,
                 "--bundle-entries needs at least " +
                     std::to_string(FewestBundleEntries(inv.pictures)) +
                     ": a visit's Observation" +
                     (inv.pictures ? " and Media" : "") +
                     " and its Patient are never apart");
  // The export replaces its files only once they are whole, but an input of
  // one of those names would be gone all the same.
  std::string folder = output;
  while (folder.size() > 1 && folder.back() == '/')
    folder.pop_back();
  const std::vector<std::string> written =
      form == FhirForm::kBundle ? std::vector<std::string>{output}
      : form == FhirForm::kBulk
          ? std::vector<std::string>{folder + "/" + kBulkFiles[0],
                                     folder + "/" + kBulkFiles[1],
                                     folder + "/" + kBulkFiles[2]}
          : std::vector<std::string>{folder};
  for (const std::string &name : written)
    if (SameFile(inv.input, name) ||
        (form == FhirForm::kBundles &&
         inv.input.compare(0, folder.size() + 1, folder + "/") == 0))
      return Usage(inv.err, "\"" + name + "\" is the file read, " +
                                ReadFromText(inv) + "; nothing written");
  StatusPrinter status(inv.err, inv.now, inv.smart && !inv.quiet);
  if (!inv.patientSystemNote.empty())
    status.Message(inv.patientSystemNote);
  std::ifstream file;
  std::istream *csv = OpenInput(inv, &file);
  if (!csv)
    return kExitNoReport;
  const std::string source = SourceName(inv);
  const FhirResult result =
      MakeFhirExport(*csv, source, output, ExportOptions(inv), &status);
  if (!result.missingPatients.empty()) {
    for (const std::string &id : result.missingPatients)
      status.Message(source + ": no row names patient \"" + DisplayText(id) +
                     "\"");
    status.Message("nothing written (--patient takes an ID as the file's "
                   "patient column writes it)");
    return kExitUsage;
  }
  if (!result.made) {
    status.Message(result.failure);
    return kExitNoReport;
  }
  return FhirSummary(inv, result, form, &status);
}

int BenchFhirCommand(Invocation &inv) {
  return BenchFhir(inv.input, ExportOptions(inv), inv.out, inv.err)
             ? kExitOk
             : kExitFailed;
}

int BenchHistoryCommand(Invocation &inv) {
  return BenchHistory(inv.input, ReportOptions(inv), inv.out, inv.err)
             ? kExitOk
             : kExitFailed;
}

struct Command {
  unsigned bit;
  size_t operands;
  const char *operandsWrong; // when there are not that many operands
  // For an option of another command; null: it is unknown here.
  const char *otherCommand;
  // For a second option that asks for a command; null: the last counts.
  const char *twice;
  // After "unknown option X".
  const char *unknownWhere;
  int (*run)(Invocation &);
};

// The first command whose option is given is run; a picture when none is.
const Command kCommands[] = {
    {kFhirRun, 1, "--fhir needs exactly one OUTPUT", nullptr,
     "one of --fhir, --bench-fhir, --history, --bench-history",
     " for health records", FhirCommand},
    {kBenchFhirRun, 0, "--bench-fhir takes no OUTPUT", nullptr,
     "one of --fhir, --bench-fhir, --history, --bench-history",
     " for health records", BenchFhirCommand},
    {kHistoryRun, 1, "--history needs exactly one REPORT", nullptr,
     "one of --fhir, --bench-fhir, --history, --bench-history",
     " for a visit history", HistoryCommand},
    {kBenchHistoryRun, 0, "--bench-history takes no REPORT", nullptr,
     "one of --fhir, --bench-fhir, --history, --bench-history",
     " for a visit history", BenchHistoryCommand},
    {kBenchRun, 0, "--bench takes no values, output or batch",
     "--bench takes no values, output or batch", nullptr, "", BenchCommand},
    {kBatchRun, 1, "--batch needs exactly one output PATTERN", nullptr, nullptr,
     "", BatchCommand},
    {kDraw, 2, "expected VALUES and OUTPUT (or --batch, --bench)", nullptr,
     nullptr, "", DrawCommand},
};

bool AsksForCommand(int id) { return kOptions[id].asks != 0; }

// "unknown option" for an option none of the commands knows, with the
// nearest known one.
std::string Unknown(const std::string &text) {
  const std::string typed = text.substr(0, text.find('='));
  if (typed.size() > 2 && typed != text &&
      OptionNamed(typed.c_str() + 2) != kUnknownOption)
    return typed + " takes no value";
  return UnknownOption(typed, kOptionList);
}

// The first command, in the table's order, that an option given asks for.
const Command &CommandAsked(const std::vector<Argument> &given) {
  const Command *command = &kCommands[0];
  while (command->bit != kDraw &&
         std::none_of(given.begin(), given.end(), [&](const Argument &g) {
           return g.option >= 0 && kOptions[g.option].asks == command->bit;
         }))
    ++command;
  return *command;
}

// Each option given taken into `inv`, in order. False, with the exit
// status in `status`, when the run ends there: an option that is wrong
// for the command or its value, or --help.
bool TakeOptions(const std::vector<Argument> &given, const Command &command,
                 Invocation &inv, int *status) {
  bool asked = false;
  for (const Argument &g : given) {
    if (g.option == kOperand)
      continue;
    if (g.option == kUnknownOption) {
      *status = Usage(inv.err, Unknown(g.text));
      return false;
    }
    const OptionRow &row = kOptions[g.option];
    if (!(row.takenBy & command.bit)) {
      *status = command.otherCommand && AsksForCommand(g.option)
                    ? Usage(inv.err, command.otherCommand)
                    : Usage(inv.err, "unknown option --" +
                                         std::string(row.option.name) +
                                         command.unknownWhere);
      return false;
    }
    if (!row.take) {
      inv.out << UsageText(kUsage, kOptionList);
      *status = kExitOk;
      return false;
    }
    if (AsksForCommand(g.option)) {
      if (asked && command.twice) {
        *status = Usage(inv.err, command.twice);
        return false;
      }
      asked = true;
    }
    const std::string name = "--" + std::string(row.option.name);
    const std::string needs = name + " needs " + (row.needs ? row.needs : "");
    if (row.option.value && !g.value) {
      *status = Usage(inv.err, needs);
      return false;
    }
    std::string error;
    if (!row.take(g.value ? g.value : "", inv, &error)) {
      *status = Usage(inv.err, error.empty() ? needs : name + ": " + error);
      return false;
    }
  }
  return true;
}

} // namespace

bool ParseSize(const std::string &text, int *width, int *height,
               std::string *error) {
  const auto side = [](const std::string &digits, int *value) {
    if (digits.empty() ||
        digits.find_first_not_of("0123456789") != std::string::npos)
      return false;
    long n = 0;
    if (!ParseInteger(digits, kMinSide, kMaxSide, &n))
      return false;
    *value = static_cast<int>(n);
    return true;
  };
  std::string::size_type x = text.find('x');
  if (x == std::string::npos || !side(text.substr(0, x), width) ||
      !side(text.substr(x + 1), height)) {
    *error = "size \"" + text + "\" is not WxH with each side from " +
             std::to_string(kMinSide) + " to " + std::to_string(kMaxSide);
    return false;
  }
  return true;
}

int RenderMain(int argc, const char *const *argv, std::istream &in,
               std::ostream &out, std::ostream &err, bool smartTerminal,
               const std::function<double()> &now) {
  const std::vector<Argument> given =
      ReadArguments(argc, argv, kOptionList, Spelling::kLoose);
  std::vector<std::string> operands;
  for (const Argument &g : given)
    if (g.option == kOperand)
      operands.push_back(g.text);
  const Command &command = CommandAsked(given);
  Invocation inv(in, out, err, smartTerminal, now, operands);
  inv.batch.threads = DefaultThreads();
  int status = kExitOk;
  if (!TakeOptions(given, command, inv, &status))
    return status;
  if (inv.operands.size() != command.operands)
    return Usage(err, command.operandsWrong);
  FailWritesPastSizeLimit();
  return command.run(inv);
}
