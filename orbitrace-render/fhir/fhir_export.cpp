#include "orbitrace-render/fhir/fhir_export.h"

#include "orbitrace-render/fhir/bundle_folder.h"

#include "orbitrace-render/fhir/fhir_json.h"
#include "orbitrace-render/fhir/fhir_resources.h"
#include "orbitrace-render/fhir/fhir_text.h"
#include "orbitrace-render/history/report_text.h"
#include "orbitrace-render/history/spool_start.h"
#include "orbitrace-render/history/visit_date.h"
#include "orbitrace-render/history/visit_spool.h"
#include "orbitrace-render/output_file.h"
#include "orbitrace-render/png_writer.h"
#include "orbitrace-render/status.h"

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>

const char *const kBulkFiles[3] = {"Patient.ndjson", "Observation.ndjson",
                                   "Media.ndjson"};

bool FhirFormForName(const std::string &output, FhirForm *form) {
  struct stat st;
  if (!output.empty() &&
      (output.back() == '/' ||
       (stat(output.c_str(), &st) == 0 && S_ISDIR(st.st_mode)))) {
    *form = FhirForm::kBulk;
    return true;
  }
  if (LowerExtension(output) != "json")
    return false;
  *form = FhirForm::kBundle;
  return true;
}

long FewestBundleEntries(bool pictures) { return pictures ? 3 : 2; }

namespace {

// Visits are drawn and written this many at a time, or fewer when their
// notes hold this many bytes: memory stays bounded whatever the export
// holds, and every thread has work.
const size_t kChunk = 512;
const size_t kChunkNoteBytes = 4 << 20;

// One thing to write: a Patient, or a visit's Observation and Media.
struct Item {
  const ExportPatient *patient;
  bool isPatient = false;
  ExportVisit visit;
  int line = 0; // the visit's row
  std::shared_ptr<const ExportPicture> picture;
};

// The picture as `orbitrace-render VALUES x.png` writes it; null when it
// cannot be encoded.
std::shared_ptr<const ExportPicture> Draw(const StoredValues &values,
                                          const RenderOptions &render) {
  cairo_surface_t *surface = RenderToImage(values, render);
  std::vector<unsigned char> png;
  std::string error;
  const bool encoded = EncodePng(surface, &png, &error);
  const int width = cairo_image_surface_get_width(surface),
            height = cairo_image_surface_get_height(surface);
  cairo_surface_destroy(surface);
  if (!encoded)
    return nullptr;
  return std::make_shared<const ExportPicture>(PictureOf(png, width, height));
}

// Runs `work(i)` for i below `count` on up to `threads` threads, this one
// among them.
template <typename Work> void InParallel(size_t count, int threads, Work work) {
  std::atomic<size_t> next{0};
  const auto worker = [&] {
    for (size_t i; (i = next++) < count;)
      work(i);
  };
  const size_t n = std::max<size_t>(
      1, std::min<size_t>(static_cast<size_t>(threads), count));
  std::vector<std::thread> pool;
  for (size_t t = 1; t < n; ++t)
    pool.emplace_back(worker);
  worker();
  for (std::thread &t : pool)
    t.join();
}

// Values repeat in an archive (steps of .05 and twelve hours), so each
// set's picture is drawn once and kept for the visits after it, up to this
// many sets (then the kept ones are let go, so memory stays bounded).
const size_t kKeptPictures = 1024;
using KeptPictures =
    std::unordered_map<std::string, std::shared_ptr<const ExportPicture>>;

// Each visit's picture, those of the sets of values not drawn yet drawn
// once each by the threads.
void DrawPictures(std::vector<Item> *items, const FhirOptions &options,
                  KeptPictures *kept) {
  std::vector<std::string> keys;
  std::vector<const StoredValues *> values;
  std::unordered_map<std::string, size_t> asked; // index in keys
  for (const Item &item : *items) {
    if (item.isPatient)
      continue;
    std::string key = FormatValues(item.visit.values);
    if (!kept->count(key) && asked.emplace(key, keys.size()).second) {
      keys.push_back(std::move(key));
      values.push_back(&item.visit.values);
    }
  }
  std::vector<std::shared_ptr<const ExportPicture>> drawn(keys.size());
  InParallel(keys.size(), options.threads,
             [&](size_t i) { drawn[i] = Draw(*values[i], options.render); });
  for (Item &item : *items) {
    if (item.isPatient)
      continue;
    const std::string key = FormatValues(item.visit.values);
    const auto found = kept->find(key);
    item.picture = found != kept->end() ? found->second : drawn[asked.at(key)];
  }
  if (kept->size() + keys.size() > kKeptPictures)
    kept->clear();
  for (size_t i = 0; i < keys.size(); ++i)
    kept->emplace(keys[i], drawn[i]);
}

// Patients read one after the other with their visits, and the visits
// left out as repeats, told before the chunk's other rows; then what the
// chunk adds to each output file.
struct Chunk {
  std::deque<ExportPatient> patients; // the items point into it
  std::vector<Item> items;
  std::vector<VisitProblem> repeats;
  size_t noteBytes = 0;
  std::string bytes[3];             // by file: the Bundle's, or the bulk files'
  std::vector<std::string> bundles; // closed, of the folder of Bundles

  // Empty again, keeping the room its bytes took.
  void Clear() {
    patients.clear();
    items.clear();
    repeats.clear();
    noteBytes = 0;
    for (std::string &b : bytes)
      b.clear();
    bundles.clear();
  }
};

// Writes the chunks' bytes in the order they come: on a thread of its own
// when there are threads to spare, so that the system's copying of them
// into the files goes on while this one reads and makes the next. One
// chunk at most waits for it, so memory stays bounded; a chunk written is
// handed back for the next, so its room is not asked for again.
class ChunkWriter {
public:
  ChunkWriter(int threads, std::function<void(const Chunk &)> write)
      : write_(std::move(write)) {
    if (threads > 1)
      thread_ = std::thread([this] { Run(); });
  }
  ~ChunkWriter() { Finish(); }

  // An empty chunk: one written before, or a new one.
  std::unique_ptr<Chunk> Empty() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!spare_)
      return std::make_unique<Chunk>();
    spare_->Clear();
    return std::move(spare_);
  }

  void Put(std::unique_ptr<Chunk> chunk) {
    if (!thread_.joinable()) {
      write_(*chunk);
      std::lock_guard<std::mutex> lock(mutex_);
      spare_ = std::move(chunk);
      return;
    }
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return !waiting_; });
    waiting_ = std::move(chunk);
    changed_.notify_all();
  }

  // Returns when every chunk put is written.
  void Finish() {
    if (!thread_.joinable())
      return;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      finished_ = true;
    }
    changed_.notify_all();
    thread_.join();
  }

private:
  void Run() {
    for (;;) {
      std::unique_ptr<Chunk> chunk;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return waiting_ || finished_; });
        if (!waiting_)
          return;
        chunk = std::move(waiting_);
      }
      changed_.notify_all();
      write_(*chunk);
      std::lock_guard<std::mutex> lock(mutex_);
      spare_ = std::move(chunk);
    }
  }

  std::function<void(const Chunk &)> write_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::unique_ptr<Chunk> waiting_, spare_;
  bool finished_ = false;
  std::thread thread_; // last: started when the rest is ready
};

// Where the resources go: a Bundle's entries, or lines of the bulk files.
// Resources are made into a chunk's bytes on the thread that reads; the
// files are written by the ChunkWriter's (Write), and by this one only
// before it starts and after it ends (Open, Commit).
class Sink {
public:
  Sink(FhirForm form, const FhirOptions &options, ReferenceStyle style)
      : form_(form), options_(options), style_(style) {}

  bool Open(const std::string &output, std::string *error) {
    if (form_ == FhirForm::kBundles)
      return folder_.Open(output, error);
    if (form_ == FhirForm::kBulk) {
      std::string folder = output;
      while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
      struct stat st;
      if (stat(folder.c_str(), &st) != 0 && mkdir(folder.c_str(), 0777) != 0) {
        *error =
            "cannot make the folder \"" + folder + "\": " + strerror(errno);
        return false;
      }
      for (int f = 0; f < 3; ++f)
        if (!files_[f].Open(folder + "/" + kBulkFiles[f], error))
          return false; // the others are removed with the sink
      opened_ = 3;
      return true;
    }
    if (!files_[0].Open(output, error))
      return false;
    opened_ = 1;
    bundle_.StartObject();
    bundle_.Key("resourceType");
    bundle_.String("Bundle");
    bundle_.Key("type");
    bundle_.String("transaction");
    WriteBundle();
    return true;
  }

  // The Patient added to the chunk (in a folder of Bundles, to each Bundle
  // that holds its visits); false when it cannot be written.
  bool Patient(const ExportPatient &patient, Chunk *chunk) {
    if (!PatientJson(patient, style_, &json_))
      return false;
    if (form_ == FhirForm::kBulk) {
      Line(chunk, 0, json_);
      return true;
    }
    // Created only where the server has no patient of that identifier,
    // which it then takes as it is: the clinic's record system may hold
    // far more of the patient than the export's ID and name.
    const std::string uuid = PatientUuid(patient);
    EntryText(uuid, json_, "POST", "Patient",
              IdentifierQuery(patient.key.system, patient.key.value),
              &patientEntry_);
    patientUuid_ = uuid;
    if (form_ == FhirForm::kBundle)
      Entry(patientEntry_, chunk);
    return true;
  }

  // The visit's Observation, and its Media with pictures, added to the
  // chunk; false, with neither added, when they cannot be written.
  bool Visit(const ExportPatient &patient, const Item &item, Chunk *chunk) {
    const bool pictures = options_.pictures;
    if (form_ == FhirForm::kBulk) {
      // Straight into the chunk's lines: no copy of each Observation.
      std::string &observations = chunk->bytes[1];
      const size_t start = observations.size();
      if (!AppendObservationJson(patient, item.visit, pictures, style_,
                                 &observations))
        return false;
      if (pictures &&
          !(item.picture &&
            MediaJson(patient, item.visit, *item.picture, style_, &media_))) {
        observations.resize(start);
        return false;
      }
      observations += '\n';
      if (pictures)
        Line(chunk, 2, media_);
      return true;
    }
    if (!ObservationJson(patient, item.visit, pictures, style_, &json_) ||
        (pictures &&
         !(item.picture &&
           MediaJson(patient, item.visit, *item.picture, style_, &media_))))
      return false;
    // Updated where the server has them by their identifiers, created
    // where not: made by this export alone, they are ours to update.
    const ResourceKind kinds[2] = {ResourceKind::kObservation,
                                   ResourceKind::kMedia};
    const char *types[2] = {"Observation", "Media"};
    const std::string *json[2] = {&json_, &media_};
    const int count = pictures ? 2 : 1;
    for (int k = 0; k < count; ++k) {
      const std::string uuid = VisitUuid(kinds[k], patient, item.visit);
      EntryText(
          uuid, *json[k], "PUT",
          ConditionalUrl(types[k], kUriIdentifierSystem, "urn:uuid:" + uuid),
          "", &visitEntries_[k]);
    }
    if (form_ == FhirForm::kBundle) {
      for (int k = 0; k < count; ++k)
        Entry(visitEntries_[k], chunk);
      return true;
    }
    Place(PatientUuid(patient), count, chunk);
    return true;
  }

  // On the ChunkWriter's thread: what the chunk adds to each file, in one
  // write each, as fewer, larger writes cost the system less.
  void Write(const Chunk &chunk) {
    for (int f = 0; f < opened_; ++f)
      files_[f].Write(chunk.bytes[f]);
    for (const std::string &bundle : chunk.bundles)
      folder_.Write(bundle);
  }

  bool Commit(std::string *error) {
    if (form_ == FhirForm::kBundles) {
      if (entries_)
        folder_.Write(Closed());
      return folder_.Commit(error);
    }
    if (form_ == FhirForm::kBundle) {
      if (entries_)
        bundle_.EndArray();
      bundle_.EndObject();
      buffer_.Put('\n');
      WriteBundle();
    }
    // Every temporary is written and closed whole before any is put in
    // place; what is not put in place is removed with the sink.
    for (int f = 0; f < opened_; ++f)
      if (!files_[f].Close(error))
        return false;
    for (int f = 0; f < opened_; ++f)
      if (!files_[f].Commit(error))
        return false;
    return true;
  }

  void Abandon() {
    for (int f = 0; f < opened_; ++f)
      files_[f].Discard();
    folder_.Discard();
  }

  unsigned long long Bytes() const { return bytes_; }
  long Bundles() const { return folder_.Written(); }
  long LargeBundles() const { return largeBundles_; }

private:
  void Line(Chunk *chunk, int f, const std::string &json) {
    chunk->bytes[f] += json;
    chunk->bytes[f] += '\n';
  }

  // The Bundle's start or end, written by this thread.
  void WriteBundle() {
    files_[0].Write(buffer_.GetString(), buffer_.GetSize());
    bytes_ += buffer_.GetSize();
    buffer_.Clear();
  }

  // An entry's JSON: the resource named by the EntryUuid of its UUID, and
  // the request that puts it on the server.
  void EntryText(const std::string &uuid, const std::string &json,
                 const char *method, const std::string &url,
                 const std::string &ifNoneExist, std::string *entry) {
    const std::string fullUrl = "urn:uuid:" + EntryUuid(uuid);
    rapidjson::StringBuffer buffer;
    FhirWriter w(buffer);
    w.StartObject();
    w.Key("fullUrl");
    w.String(fullUrl.data(), static_cast<rapidjson::SizeType>(fullUrl.size()));
    w.Key("resource");
    w.Written(json.data(), json.size(), rapidjson::kObjectType);
    w.Key("request");
    w.StartObject();
    w.Key("method");
    w.String(method);
    w.Key("url");
    w.String(url.data(), static_cast<rapidjson::SizeType>(url.size()));
    if (!ifNoneExist.empty()) {
      w.Key("ifNoneExist");
      w.String(ifNoneExist.data(),
               static_cast<rapidjson::SizeType>(ifNoneExist.size()));
    }
    w.EndObject();
    w.EndObject();
    entry->assign(buffer.GetString(), buffer.GetSize());
  }

  // An entry of the one Bundle, added to the chunk.
  void Entry(const std::string &entry, Chunk *chunk) {
    // FHIR has no empty arrays: a Bundle without a visit has no "entry".
    if (!entries_++) {
      bundle_.Key("entry");
      bundle_.StartArray();
    }
    bundle_.Written(entry.data(), entry.size(), rapidjson::kObjectType);
    chunk->bytes[0].append(buffer_.GetString(), buffer_.GetSize());
    bytes_ += buffer_.GetSize();
    buffer_.Clear();
  }

  // The visit's `count` entries into the Bundle being filled, with their
  // Patient's unless it is there already; when they do not fit, the Bundle
  // is closed into the chunk and they start the next.
  void Place(const std::string &patientUuid, int count, Chunk *chunk) {
    const auto needed = [&](long *entries, size_t *bytes) {
      const bool withPatient = patientUuid != bundlePatient_;
      *entries = count + (withPatient ? 1 : 0);
      *bytes = withPatient ? patientEntry_.size() + 1 : 0;
      for (int k = 0; k < count; ++k)
        *bytes += visitEntries_[k].size() + 1; // and its comma
    };
    long entries;
    size_t bytes;
    needed(&entries, &bytes);
    const long maxEntries = options_.bundleEntries;
    const unsigned long long maxBytes = options_.bundleBytes;
    if (entries_ && ((maxEntries && entries_ + entries > maxEntries) ||
                     (maxBytes && kBundleStart.size() + current_.size() +
                                          bytes + kBundleEnd.size() >
                                      maxBytes))) {
      chunk->bundles.push_back(Closed());
      needed(&entries, &bytes);
    }
    if (patientUuid != bundlePatient_) {
      Append(patientEntry_);
      bundlePatient_ = patientUuid;
    }
    for (int k = 0; k < count; ++k)
      Append(visitEntries_[k]);
    // Alone in its Bundle and still over: written all the same, and told.
    if (maxBytes && entries_ == entries &&
        kBundleStart.size() + current_.size() + kBundleEnd.size() > maxBytes)
      ++largeBundles_;
  }

  void Append(const std::string &entry) {
    if (entries_++)
      current_ += ',';
    current_ += entry;
  }

  // The Bundle being filled, whole; the next starts empty.
  std::string Closed() {
    std::string bundle = kBundleStart + current_ + kBundleEnd;
    current_.clear();
    entries_ = 0;
    bundlePatient_.clear();
    return bundle;
  }

  const std::string kBundleStart =
      "{\"resourceType\":\"Bundle\",\"type\":\"transaction\",\"entry\":[";
  const std::string kBundleEnd = "]}\n";

  FhirForm form_;
  const FhirOptions &options_;
  ReferenceStyle style_;
  OutputFile files_[3];
  int opened_ = 0;
  unsigned long long bytes_ = 0;   // of the Bundle
  long entries_ = 0;               // of the Bundle, or the one being filled
  std::string json_, media_;       // the last resources made, their room kept
  rapidjson::StringBuffer buffer_; // the Bundle's writing, not yet a chunk's
  FhirWriter bundle_{buffer_};
  // The last Patient's entry and its visit's, as entries.
  std::string patientEntry_, patientUuid_, visitEntries_[2];
  // The folder of Bundles: the one being filled and whose Patient it holds.
  BundleFolder folder_;
  std::string current_, bundlePatient_;
  long largeBundles_ = 0;
};

// What one export shares across its steps: where it reads from, how it
// writes, and what it has counted so far.
struct ExportRun {
  const std::string &source;
  const FhirOptions &options;
  Sink *sink;
  Status *status;
  FhirResult *result;
  long done = 0; // visits written or left out, for the progress
  // The dates of the patient being made that have an Observation written.
  std::vector<std::string> dates;
  // The records' IDs read so far and their lines: one record is one visit.
  std::unordered_map<std::string, int> records;
};

void TellLeftOut(ExportRun *run, const VisitProblem &p) {
  run->status->Message(ProblemMessage(run->source, p));
  if (p.kind == VisitProblem::kLeftOut)
    ++run->result->leftOut;
}

// A chunk's resources made into its bytes in order, its repeats told
// first. A patient whose resources cannot be written takes its visits
// along.
void MakeChunk(ExportRun *run, Chunk *chunk) {
  for (const VisitProblem &repeat : chunk->repeats) {
    TellLeftOut(run, repeat);
    ++run->done;
  }
  const ExportPatient *refused = nullptr;
  for (const Item &item : chunk->items) {
    if (item.isPatient) {
      const bool made = run->sink->Patient(*item.patient, chunk);
      refused = made ? nullptr : item.patient;
      run->result->patients += made ? 1 : 0;
      run->dates.clear();
      continue;
    }
    ++run->done;
    if (item.patient == refused) {
      TellLeftOut(
          run, VisitProblem{item.line, "the patient field is not valid text"});
      continue;
    }
    if (!run->sink->Visit(*item.patient, item, chunk)) {
      TellLeftOut(run,
                  VisitProblem{item.line, "its resources cannot be written"});
      continue;
    }
    ++run->result->observations;
    run->result->media += run->options.pictures ? 1 : 0;
    // A visit is a date, whichever eyes were drawn on it, as the report
    // counts them.
    if (std::find(run->dates.begin(), run->dates.end(), item.visit.date) ==
        run->dates.end()) {
      run->dates.push_back(item.visit.date);
      ++run->result->visits;
    }
  }
  run->status->Update(run->done);
}

// The patient's names: the one of its latest visit, the others as old
// names, latest first. An ID whose rows carry two names is told with each
// name and its lines: a chart number given to two people, or a name that
// changed, is for the clinic to look at.
void NamePatient(ExportRun *run, const SpooledPatient &spooled,
                 ExportPatient *patient) {
  if (spooled.names.size() < 2)
    return;
  std::vector<const SpooledName *> names;
  for (const SpooledName &n : spooled.names)
    names.push_back(&n);
  std::stable_sort(names.begin(), names.end(),
                   [](const SpooledName *a, const SpooledName *b) {
                     return a->latestDate != b->latestDate
                                ? a->latestDate > b->latestDate
                                : a->latestLine > b->latestLine;
                   });
  patient->name = names[0]->text;
  for (size_t i = 1; i < names.size(); ++i)
    patient->oldNames.push_back(names[i]->text);
  std::string told; // in the order of the file
  for (const SpooledName &name : spooled.names) {
    const SpooledName *n = &name;
    told +=
        (told.empty() ? "" : ", ") + ("\"" + DisplayText(n->text)) +
        "\" (line " + std::to_string(n->firstLine) +
        (n->latestLine != n->firstLine ? " to " + std::to_string(n->latestLine)
                                       : std::string()) +
        ", last on " + FormatIsoDate(n->latestDate) + ")";
  }
  run->status->Message(
      run->source + ": patient ID \"" + DisplayText(spooled.id) +
      "\" carries " + std::to_string(names.size()) + " names: " + told +
      "; its Patient is named \"" + DisplayText(patient->name) +
      "\", of the latest visit, with the others as old "
      "names");
  ++run->result->namesTold;
}

// One patient and its visits, each eye's in date order, added to the chunk
// with the repeats left out; false when a note cannot be read back.
bool AddPatient(ExportRun *run, VisitSpool *spool, PatientHistory *history,
                Chunk *chunk) {
  std::vector<DuplicateVisit> duplicates;
  OrderVisits(history, &duplicates);
  for (const DuplicateVisit &d : duplicates)
    chunk->repeats.push_back(VisitProblem{d.line, RepeatReason(d)});
  // Identified by the ID, or without one by the patient field, in the
  // normal form the reader keys patients by, so that another spelling of
  // the same patient in a later export finds the same resource; named as
  // the file spells the name of its latest visit.
  long &dropped = run->result->controlsDropped;
  PatientKey key{run->options.patientSystem, history->key};
  dropped += DropControls(&key.value);
  chunk->patients.push_back(ExportPatient{
      key, history->patient, ResourceUuid(ResourceKind::kPatient, key)});
  ExportPatient *patient = &chunk->patients.back();
  NamePatient(run, spool->patients[spool->next - 1], patient);
  dropped += DropControls(&patient->name);
  for (std::string &old : patient->oldNames)
    dropped += DropControls(&old);
  Item patientItem;
  patientItem.patient = patient;
  patientItem.isPatient = true;
  chunk->items.push_back(patientItem);
  bool notesRead = true;
  for (int eye : {kRightEye, kLeftEye})
    for (const Visit &v : history->eyes[eye]) {
      Item item;
      item.patient = patient;
      item.visit.eye = static_cast<Eye>(eye);
      item.visit.date = FormatIsoDate(v.date);
      item.visit.values = v.values;
      item.visit.noteCut = v.noteCut;
      notesRead = ReadNote(spool, v, &item.visit.note) &&
                  ReadRecordId(spool, v, &item.visit.record) && notesRead;
      if (!item.visit.record.empty()) {
        const auto first = run->records.emplace(item.visit.record, v.line);
        if (!first.second) {
          chunk->repeats.push_back(VisitProblem{
              v.line, "its record ID \"" + DisplayText(item.visit.record) +
                          "\" is that of line " +
                          std::to_string(first.first->second) +
                          " too, whose visit is kept"});
          continue;
        }
      }
      dropped += DropControls(&item.visit.note);
      chunk->noteBytes += item.visit.note.size();
      item.line = v.line;
      chunk->items.push_back(std::move(item));
    }
  return notesRead;
}

// Patients in the order the export first names them, a chunk at a time:
// its pictures drawn by the threads, its resources made by this one, then
// handed to the writer while this thread reads the next. False when the
// spool could not be read back whole.
bool ExportPatients(ExportRun *run, VisitSpool *spool) {
  KeptPictures kept;
  ChunkWriter writer(run->options.threads,
                     [run](const Chunk &chunk) { run->sink->Write(chunk); });
  const auto hand = [&](std::unique_ptr<Chunk> chunk) {
    if (run->options.pictures)
      DrawPictures(&chunk->items, run->options, &kept);
    MakeChunk(run, chunk.get());
    writer.Put(std::move(chunk));
  };
  std::unique_ptr<Chunk> chunk = writer.Empty();
  PatientHistory history;
  size_t read = 0;
  bool notesRead = true;
  while (ReadNextPatient(spool, &history)) {
    ++read;
    notesRead = AddPatient(run, spool, &history, chunk.get()) && notesRead;
    if (chunk->items.size() >= kChunk || chunk->noteBytes >= kChunkNoteBytes) {
      hand(std::move(chunk));
      chunk = writer.Empty();
    }
  }
  hand(std::move(chunk));
  writer.Finish();
  return read == spool->patients.size() && notesRead;
}

} // namespace

FhirResult MakeFhirExport(std::istream &csv, const std::string &source,
                          const std::string &output, const FhirOptions &options,
                          Status *status) {
  FhirResult result;
  FhirForm form = FhirForm::kBundle;
  FhirFormForName(output, &form);
  if (form == FhirForm::kBulk && (options.bundleEntries || options.bundleBytes))
    form = FhirForm::kBundles;
  const ReferenceStyle style =
      form == FhirForm::kBulk ? ReferenceStyle::kBulk : ReferenceStyle::kBundle;
  Sink sink(form, options, style);
  ExportRun run{source, options, &sink, status, &result, 0, {}, {}};

  VisitSpool spool;
  std::string error;
  if (!StartSpool(
          csv, source, options.read,
          [&run](const VisitProblem &p) { TellLeftOut(&run, p); }, status,
          &spool, &error, &result.missingPatients)) {
    if (!error.empty())
      result.failure = error + "; nothing written";
    return result;
  }
  // A server refuses a Bundle without entries, and an empty file would
  // pass for an export.
  if (spool.totalRows == 0) {
    CloseSpool(&spool);
    result.failure = source + ": no visit to write; nothing written";
    return result;
  }
  if (!sink.Open(output, &error)) {
    CloseSpool(&spool);
    result.failure = error + "; nothing written";
    return result;
  }
  status->SetTotal(spool.totalRows);
  const bool complete = ExportPatients(&run, &spool);
  status->Finish();
  CloseSpool(&spool);
  if (!complete) {
    sink.Abandon();
    result.failure = "cannot read back a temporary file; nothing written";
    return result;
  }
  if (!sink.Commit(&error)) {
    result.failure = error + "; nothing written";
    return result;
  }
  result.bundleBytes = form == FhirForm::kBundle ? sink.Bytes() : 0;
  result.bundles = sink.Bundles();
  result.largeBundles = sink.LargeBundles();
  result.made = true;
  return result;
}
