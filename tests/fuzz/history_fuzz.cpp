// The visit-history reader on arbitrary bytes, through every way of reading
// them: the first byte picks the character set, separator, date order and
// columns, and may repeat the rest past the record limit. Whatever the
// bytes, the reader ends, keeps each name within the limit and as UTF-8
// without a replacement character, each note within it and as UTF-8,
// gives back every row it kept, and accounts for every line: each one that
// is not blank is a sep= line, the header, a visit or a row it names. The
// health-record export of the same bytes, as bulk files, tells the rows
// the reader left out as the reader does, and puts every visit read in
// exactly one Observation, of its patient, eye, date, values and note,
// whose subject is a Patient written, or names it among the rows left out;
// with pictures, one Media each, linked both ways.
#include "orbitrace-render/fhir/fhir_codes.h"
#include "orbitrace-render/fhir/fhir_export.h"
#include "orbitrace-render/fhir/fhir_resources.h"
#include "orbitrace-render/fhir/fhir_text.h"
#include "orbitrace-render/history/csv_records.h"
#include "orbitrace-render/history/report_text.h"
#include "orbitrace-render/history/visit_date.h"
#include "orbitrace-render/history/visit_spool.h"
#include "orbitrace-render/status.h"

#include <rapidjson/document.h>

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

void Check(bool ok, const char *what) {
  if (!ok) {
    fprintf(stderr, "history_fuzz: %s\n", what);
    abort();
  }
}

// Valid UTF-8: what showing it leaves as it is, control characters aside.
bool IsUtf8(const std::string &text) {
  std::string shown = text;
  for (char &c : shown)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
      c = ' ';
  return DisplayText(text) == shown;
}

// Per line of the input as read in `encoding` (from 1): whether it holds
// more than blanks. Line ends as the reader counts them: CR, LF, CR LF; a
// DOS end-of-file at the very end is none of the file.
std::vector<bool> LinesNotBlank(const std::string &bytes,
                                TextEncoding encoding) {
  TextDecoder decoder;
  OpenDecoder(&decoder, encoding);
  std::string text;
  Decode(&decoder, bytes.data(), bytes.size(), true, &text);
  if (text.compare(0, 3, "\xEF\xBB\xBF") == 0)
    text.erase(0, 3);
  while (!text.empty() && text.back() == '\x1A')
    text.pop_back();
  std::vector<bool> lines(1, false);
  bool notBlank = false, begun = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      lines.push_back(notBlank);
      notBlank = begun = false;
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
        ++i;
    } else {
      begun = true;
      notBlank = notBlank || (c != ' ' && c != '\t');
    }
  }
  if (begun)
    lines.push_back(notBlank);
  return lines;
}

void Cover(std::vector<bool> *covered, int line, int lastLine) {
  Check(line >= 1 && lastLine >= line &&
            static_cast<size_t>(lastLine) < covered->size(),
        "lines that the input does not have");
  for (int i = line; i <= lastLine; ++i)
    (*covered)[static_cast<size_t>(i)] = true;
}

// A visit as the reader gave it back.
struct ReadVisit {
  std::string patient; // the patient's key
  Eye eye;
  std::string date; // as the export writes it
  StoredValues values;
  std::string note;
  bool noteCut;
  int line;
};

// What the export tells, kept.
class Told : public Status {
public:
  void SetTotal(long) override {}
  void Update(long) override {}
  void Message(const std::string &line) override { lines.push_back(line); }
  void Finish() override {}
  std::vector<std::string> lines;
};

const char kSource[] = "in";
const size_t kVisitsDrawn = 4;

// The folder the export writes to, made once in TMPDIR (run-fuzzer.sh puts
// that in its work folder, which the next run empties).
const std::string &ExportFolder() {
  static const std::string folder = [] {
    const char *tmp = getenv("TMPDIR");
    std::string path =
        std::string(tmp && *tmp ? tmp : "/tmp") + "/history-fuzz-XXXXXX";
    Check(mkdtemp(&path[0]) != nullptr, "no temporary folder");
    return path + "/";
  }();
  return folder;
}

// The lines of a bulk file, each parsed with its numbers' own digits.
std::vector<rapidjson::Document> Resources(const char *file) {
  std::ifstream in(ExportFolder() + file, std::ios::binary);
  Check(in.good(), "a bulk file not written");
  std::vector<rapidjson::Document> resources;
  for (std::string line; std::getline(in, line);) {
    resources.emplace_back();
    resources.back().Parse<rapidjson::kParseNumbersAsStringsFlag>(line.c_str());
    Check(!resources.back().HasParseError() && resources.back().IsObject(),
          "a resource that is not a JSON object");
  }
  return resources;
}

std::string Text(const rapidjson::Value &v) {
  Check(v.IsString(), "a text that is not a string");
  return std::string(v.GetString(), v.GetStringLength());
}

// The value's text as the export writes the stored item.
bool SameDecimal(const rapidjson::Value &quantity, const std::string &item) {
  std::string decimal;
  return FhirDecimal(item, &decimal) && quantity.IsObject() &&
         quantity.HasMember("value") && decimal == Text(quantity["value"]);
}

// The Observation holds the visit's values and note as read.
void CheckObservation(const rapidjson::Value &o, const ReadVisit &v) {
  Check(SameDecimal(o["valueQuantity"], v.values.vertical),
        "an Observation's value is not the vertical ratio read");
  const rapidjson::Value &c = o["component"];
  Check(c.IsArray() && c.Size() == kComponentCount, "components missing");
  Check(SameDecimal(c[kHorizontal]["valueQuantity"], v.values.horizontal) &&
            SameDecimal(c[kVertical]["valueQuantity"], v.values.vertical) &&
            SameDecimal(c[kRim]["valueQuantity"], v.values.rim),
        "an Observation's components are not the values read");
  Check(Text(c[kClockHour]["valueCodeableConcept"]["text"])
                .find(std::to_string(atoi(v.values.position.c_str())) +
                      " o'clock") == 0,
        "an Observation's clock hour is not the one read");
  // Without the control characters FHIR's text cannot hold.
  std::string note = v.note;
  DropControls(&note);
  if (v.noteCut)
    note += kNoteCutMark;
  Check(note.empty()
            ? !o.HasMember("note")
            : o.HasMember("note") && note == Text(o["note"][0]["text"]),
        "an Observation's note is not the one read");
}

// Runs the export on `text` as bulk files and checks it against what the
// reader gave back: its problems, in order, and its visits.
void CheckExport(const std::string &text, const ReadSettings &settings,
                 int threads, const std::vector<VisitProblem> &problems,
                 const std::vector<ReadVisit> &visits) {
  std::istringstream in(text);
  FhirOptions options;
  options.read = settings;
  options.patientSystem = kDefaultPatientSystem;
  // Pictures on a few visits only: drawing is slow under the sanitizers.
  options.pictures = visits.size() <= kVisitsDrawn;
  options.threads = threads;
  Told told;
  const FhirResult result =
      MakeFhirExport(in, kSource, ExportFolder(), options, &told);
  // Without a visit nothing is written, as a server refuses an empty
  // Bundle.
  if (visits.empty()) {
    Check(!result.made &&
              result.failure.find("no visit to write") != std::string::npos,
          "an export without a visit written");
    return;
  }
  Check(result.made, "the export refused what the reader read");

  // The reader's problems first, as it told them, then the visits the
  // export leaves out, each a visit read, each once.
  const std::string lineAt = std::string(kSource) + ", line";
  size_t problem = 0;
  std::set<int> leftOut;
  for (const std::string &message : told.lines) {
    if (message.compare(0, lineAt.size(), lineAt) != 0)
      continue;
    if (problem < problems.size()) {
      Check(message == ProblemMessage(kSource, problems[problem++]),
            "a problem told otherwise than the reader tells it");
      continue;
    }
    const size_t at = message.find(' ', lineAt.size());
    Check(at != std::string::npos, "a line named without its number");
    Check(leftOut.insert(atoi(message.c_str() + at + 1)).second,
          "a visit left out twice");
  }
  Check(problem == problems.size(), "a problem of the reader's not told");

  // Who each Patient is, by id.
  std::map<std::string, std::string> patients; // "Patient/id" -> key
  for (const rapidjson::Document &p : Resources(kBulkFiles[0]))
    Check(patients
              .emplace("Patient/" + Text(p["id"]),
                       Text(p["identifier"][0]["value"]))
              .second,
          "a Patient written twice");
  // Each Observation by patient, eye and date, which name one visit.
  const std::vector<rapidjson::Document> observations =
      Resources(kBulkFiles[1]);
  std::map<std::string, size_t> byVisit;
  for (size_t i = 0; i < observations.size(); ++i) {
    const rapidjson::Value &o = observations[i];
    const auto patient = patients.find(Text(o["subject"]["reference"]));
    Check(patient != patients.end(), "an Observation of no Patient written");
    Check(byVisit
              .emplace(patient->second + '\n' +
                           Text(o["code"]["coding"][0]["code"]) + '\n' +
                           Text(o["effectiveDateTime"]),
                       i)
              .second,
          "two Observations of one patient, eye and date");
  }
  std::vector<bool> used(observations.size(), false);
  for (const ReadVisit &v : visits) {
    if (leftOut.erase(v.line))
      continue;
    std::string patient = v.patient;
    DropControls(&patient);
    const auto found = byVisit.find(patient + '\n' +
                                    CupDiscLoinc(v.eye).code + '\n' + v.date);
    Check(found != byVisit.end(),
          "a visit neither in an Observation nor left out");
    Check(!used[found->second], "two visits in one Observation");
    used[found->second] = true;
    CheckObservation(observations[found->second], v);
  }
  Check(leftOut.empty(), "a line left out that is no visit read");
  for (bool u : used)
    Check(u, "an Observation of no visit read");
  // Each Observation's Media, and no other, pointing back at it.
  const std::vector<rapidjson::Document> media = Resources(kBulkFiles[2]);
  Check(media.size() == (options.pictures ? observations.size() : 0),
        "not one Media to each Observation with pictures, or any without");
  std::map<std::string, const rapidjson::Value *> mediaById;
  for (const rapidjson::Document &m : media)
    mediaById.emplace("Media/" + Text(m["id"]), &m);
  for (const rapidjson::Document &o : observations) {
    if (!options.pictures)
      continue;
    const auto m = mediaById.find(Text(o["derivedFrom"][0]["reference"]));
    Check(m != mediaById.end() &&
              Text((*m->second)["partOf"][0]["reference"]) ==
                  "Observation/" + Text(o["id"]) &&
              Text((*m->second)["subject"]["reference"]) ==
                  Text(o["subject"]["reference"]),
          "an Observation's Media not its own");
  }
  Check(result.observations == static_cast<long>(observations.size()) &&
            result.patients == static_cast<long>(patients.size()) &&
            result.media == static_cast<long>(media.size()),
        "resources counted otherwise than written");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size == 0)
    return 0;
  const uint8_t choice = data[0];
  const TextEncoding encodings[8] = {
      TextEncoding::kDetect,      TextEncoding::kUtf8,
      TextEncoding::kUtf16Le,     TextEncoding::kUtf16Be,
      TextEncoding::kWindows1252, TextEncoding::kMacRoman,
      TextEncoding::kCp850,       TextEncoding::kCp437};
  const char separators[4] = {0, ',', ';', '\t'};
  const DateOrder orders[3] = {DateOrder::kFromFile, DateOrder::kDayFirst,
                               DateOrder::kMonthFirst};
  ReadSettings settings;
  settings.encoding = encodings[choice % 8];
  settings.separator = separators[(choice / 8) % 4];
  settings.dateOrder = orders[(choice / 32) % 3];
  std::string error;
  if (choice & 0x40)
    Check(ParseColumnsOption("patient,eye,date,values,note", &settings, &error),
          "--columns refused");
  std::string text(reinterpret_cast<const char *>(data + 1), size - 1);
  if (choice & 0x80 && !text.empty())
    while (text.size() <= kMaxRecordBytes)
      text += text;

  std::istringstream in(text);
  VisitSpool spool;
  std::vector<VisitProblem> problems;
  const bool read = SpoolVisits(
      in, settings, &spool,
      [&](const VisitProblem &p) {
        Check(p.line >= 1 && !p.reason.empty(), "a problem without its line");
        problems.push_back(p);
      },
      &error);
  if (!read) {
    Check(!error.empty(), "refused without a reason");
    return 0;
  }
  std::vector<bool> notBlank = LinesNotBlank(text, spool.read.encoding);
  std::vector<bool> covered(notBlank.size(), false);
  if (spool.read.headerLine > 0)
    Cover(&covered, spool.read.headerLine, spool.read.headerLastLine);
  if (spool.read.layout.sepLine)
    Cover(&covered, 1, 1); // named in how the file was read
  for (const VisitProblem &p : problems)
    Cover(&covered, p.line, p.lastLine > p.line ? p.lastLine : p.line);
  long rows = 0;
  std::vector<ReadVisit> visits;
  PatientHistory history;
  while (ReadNextPatient(&spool, &history)) {
    Check(!history.patient.empty(), "an empty name");
    Check(history.patient.size() <= kMaxRecordBytes, "a name over the limit");
    Check(IsUtf8(history.patient), "a name that is not UTF-8");
    Check(history.patient.find("\xEF\xBF\xBD") == std::string::npos,
          "a replacement character in a name");
    rows += static_cast<long>(history.eyes[0].size() + history.eyes[1].size());
    for (int eye : {kRightEye, kLeftEye})
      for (const Visit &v : history.eyes[eye]) {
        Cover(&covered, v.line, v.line);
        std::string note;
        Check(ReadNote(&spool, v, &note), "a note not read back");
        // What the health-record export's JSON writer takes.
        Check(note.size() <= kMaxRecordBytes && IsUtf8(note),
              "a note over the limit or not UTF-8");
        visits.push_back(ReadVisit{history.key, static_cast<Eye>(eye),
                                   FormatIsoDate(v.date), v.values, note,
                                   v.noteCut, v.line});
      }
  }
  for (size_t line = 1; line < notBlank.size(); ++line)
    Check(!notBlank[line] || covered[line],
          "a line neither read nor named among the rows left out");
  Check(spool.next == spool.patients.size(), "a patient not read back");
  Check(rows == spool.totalRows, "rows lost between reading and reading back");
  CloseSpool(&spool);
  // Both ways of writing: at once, and a chunk written while the next is
  // made.
  CheckExport(text, settings, 1 + static_cast<int>(size % 2), problems, visits);
  return 0;
}
