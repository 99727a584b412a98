#include "orbitrace-render/fhir/fhir_send.h"

#include "orbitrace-render/fhir/bundle_folder.h"
#include "orbitrace-render/fhir/fhir_identity.h"
#include "orbitrace-render/fhir/http_client.h"
#include "orbitrace-render/history/report_text.h"
#include "orbitrace-render/status.h"

#include <rapidjson/document.h>
#include <uuid/uuid.h>

#include <dirent.h>
#include <errno.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <map>
#include <set>
#include <vector>

bool IsServerUrl(const std::string &output) {
  return output.compare(0, 7, "http://") == 0 ||
         output.compare(0, 8, "https://") == 0;
}

namespace {

const char *const kTypes[3] = {"Patient", "Observation", "Media"};
int TypeIndex(const char *type) {
  for (int t = 0; t < 3; ++t)
    if (strcmp(type, kTypes[t]) == 0)
      return t;
  return -1;
}

// What the server said of each entry, per type.
struct Counts {
  long created[3] = {}, updated[3] = {}, unchanged[3] = {};
};

// What was sent of one patient: the server's id and our identifiers.
// An identifier of ours, "urn:uuid:…", as its 16 bytes: what is kept of
// every visit sent, so the client's memory stays small for any archive.
using Sent = std::array<unsigned char, 16>;
bool SentOf(const std::string &identifier, Sent *sent) {
  const char prefix[] = "urn:uuid:";
  return identifier.compare(0, sizeof prefix - 1, prefix) == 0 &&
         uuid_parse(identifier.c_str() + sizeof prefix - 1, sent->data()) == 0;
}

struct SentPatient {
  // Observation, Media by index; sorted and without repeats once all is
  // sent (see Settle).
  std::vector<Sent> identifiers[3];
  void Settle() {
    for (std::vector<Sent> &ids : identifiers) {
      std::sort(ids.begin(), ids.end());
      ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
    }
  }
  bool Holds(int type, const std::string &identifier) const {
    Sent sent;
    return SentOf(identifier, &sent) &&
           std::binary_search(identifiers[type].begin(),
                              identifiers[type].end(), sent);
  }
};

// The run's state across its Bundles.
struct Sending {
  const SendOptions &options;
  Status *status;
  const std::function<void(double)> &wait;
  HttpClient client;
  std::string base; // without a trailing "/"
  Counts counts;
  std::map<std::string, SentPatient> patients; // by server id
  std::set<std::string> createdPatients;       // by server id
  long sent[3] = {};                           // distinct, per type
};

const rapidjson::Value *Member(const rapidjson::Value &v, const char *name) {
  if (!v.IsObject())
    return nullptr;
  const auto m = v.FindMember(name);
  return m == v.MemberEnd() ? nullptr : &m->value;
}

std::string Text(const rapidjson::Value *v) {
  return v && v->IsString() ? std::string(v->GetString(), v->GetStringLength())
                            : "";
}

// The OperationOutcome's words, or the start of a body that is none.
std::string OutcomeText(const std::string &body, int *entry) {
  rapidjson::Document d;
  d.Parse(body.c_str(), body.size());
  std::string text;
  const rapidjson::Value *issues =
      d.HasParseError() ? nullptr : Member(d, "issue");
  if (issues && issues->IsArray())
    for (const auto &issue : issues->GetArray()) {
      const rapidjson::Value *details = Member(issue, "details");
      std::string words = Text(details ? Member(*details, "text") : nullptr);
      if (words.empty())
        words = Text(Member(issue, "diagnostics"));
      if (!words.empty())
        text += (text.empty() ? "" : "; ") + words;
      for (const char *where : {"expression", "location"}) {
        const rapidjson::Value *list = Member(issue, where);
        if (list && list->IsArray())
          for (const auto &path : list->GetArray()) {
            const std::string p = Text(&path);
            const size_t at = p.find("entry[");
            if (at != std::string::npos)
              *entry = atoi(p.c_str() + at + 6);
          }
      }
      const std::string diagnostics = Text(Member(issue, "diagnostics"));
      const size_t at = diagnostics.find("entry[");
      if (at != std::string::npos)
        *entry = atoi(diagnostics.c_str() + at + 6);
    }
  if (text.empty())
    text = DisplayText(body.substr(0, 200));
  return text;
}

// "patient "Doe, Jane" (ID 10234), visit 2020-04-11, right eye" for an
// entry of the Bundle: what a user looks up in the clinic's database.
std::string VisitOf(const rapidjson::Value &entries, int index) {
  if (index < 0 || static_cast<size_t>(index) >= entries.Size())
    return "";
  const rapidjson::Value *resource = Member(entries[index], "resource");
  if (!resource)
    return "";
  const std::string type = Text(Member(*resource, "resourceType"));
  const rapidjson::Value *subject = Member(*resource, "subject");
  const std::string patientUrl =
      type == "Patient"
          ? Text(Member(entries[index], "fullUrl"))
          : Text(subject ? Member(*subject, "reference") : nullptr);
  std::string who;
  for (const auto &e : entries.GetArray())
    if (Text(Member(e, "fullUrl")) == patientUrl) {
      const rapidjson::Value *p = Member(e, "resource");
      const rapidjson::Value *names = Member(*p, "name");
      const rapidjson::Value *ids = Member(*p, "identifier");
      who = "patient \"" +
            DisplayText(names && names->IsArray() && !names->Empty()
                            ? Text(Member((*names)[0], "text"))
                            : "") +
            "\" (ID " +
            DisplayText(ids && ids->IsArray() && !ids->Empty()
                            ? Text(Member((*ids)[0], "value"))
                            : "") +
            ")";
    }
  if (type == "Patient")
    return who;
  const std::string date =
      Text(Member(*resource, type == "Observation" ? "effectiveDateTime"
                                                   : "createdDateTime"));
  const rapidjson::Value *body = Member(*resource, "bodySite");
  const rapidjson::Value *coding = body ? Member(*body, "coding") : nullptr;
  const std::string code = coding && coding->IsArray() && !coding->Empty()
                               ? Text(Member((*coding)[0], "code"))
                               : "";
  return who + ", visit " + date +
         (code == "362502000"   ? ", right eye"
          : code == "362503005" ? ", left eye"
                                : "") +
         " (" + type + ")";
}

// `request` sent until it is answered or the rule gives up; each wait
// told.
HttpResponse Persist(Sending *s, const char *method, const std::string &url,
                     const std::string &body) {
  for (int tried = 1;; ++tried) {
    HttpResponse r = s->client.Send(method, url, body);
    const double wait = RetryWait(r.status, r.retryAfter, tried,
                                  s->options.retry, time(nullptr));
    if (wait < 0)
      return r;
    s->status->Message(
        (r.status ? "HTTP " + std::to_string(r.status) + " from " + s->base
                  : "no answer from " + s->base + " (" + r.error + ")") +
        "; trying again in " + std::to_string(static_cast<int>(wait + 0.5)) +
        " s (" + std::to_string(tried + 1) + " of " +
        std::to_string(s->options.retry.retries + 1) + ")");
    s->wait(wait);
  }
}

// What the answer says when it is not a success.
std::string Refusal(const Sending &s, const HttpResponse &r,
                    const std::string &what) {
  if (!r.status)
    return "cannot reach " + s.base + ": " + r.error;
  int entry = -1;
  const std::string text = OutcomeText(r.body, &entry);
  if (r.status == 401 || r.status == 403)
    return s.base + " refused the credentials (HTTP " +
           std::to_string(r.status) + "): " + text + "; they are read from " +
           kTokenVariable + ", or " + kUserVariable + " and " +
           kPasswordVariable + ", or --auth-file FILE";
  return s.base + " refused " + what + " (HTTP " + std::to_string(r.status) +
         "): " + text;
}

// The server's id in a location, "Patient/ID" or ".../Patient/ID/_history/1".
std::string IdIn(const std::string &location, const char *type) {
  const std::string prefix = std::string(type) + "/";
  size_t at = location.rfind(prefix, location.find("/_history"));
  if (at == std::string::npos)
    return "";
  at += prefix.size();
  return location.substr(at, location.find('/', at) - at);
}

// Why the server did not take Bundle `number`: its own words, the visit
// of the entry it names, and the option when it caps transactions.
std::string BundleRefused(const Sending &s, const HttpResponse &r,
                          const rapidjson::Value &entries, long number,
                          long total) {
  int entry = -1;
  OutcomeText(r.body, &entry);
  const std::string visit = VisitOf(entries, entry >= 0 ? entry : 1);
  std::string failure = Refusal(s, r,
                                "Bundle " + std::to_string(number) + " of " +
                                    std::to_string(total));
  // A refusal of who we are is not the visit's.
  if (r.status && r.status != 401 && r.status != 403 && !visit.empty())
    failure +=
        "; " + std::string(entry >= 0 ? "the entry: " : "it holds ") + visit;
  if (r.status == 413 || failure.find("too many") != std::string::npos ||
      failure.find("too large") != std::string::npos)
    failure += "; a server that caps transactions takes smaller Bundles: "
               "--bundle-entries N or --bundle-bytes SIZE";
  return failure;
}

// What the server said of one entry, counted; a Patient's id noted.
void CountEntry(Sending *s, int type, const rapidjson::Value &result,
                std::string *patientId) {
  const rapidjson::Value *response = Member(result, "response");
  const std::string code =
      Text(response ? Member(*response, "status") : nullptr);
  const long status = atol(code.c_str());
  if (status == 201)
    ++s->counts.created[type];
  else if (status == 304 || code.find("Not Modified") != std::string::npos)
    ++s->counts.unchanged[type];
  else
    ++s->counts.updated[type];
  if (type != 0)
    return;
  *patientId =
      IdIn(Text(response ? Member(*response, "location") : nullptr), "Patient");
  if (status == 201)
    s->createdPatients.insert(*patientId);
}

// The answer to a Bundle taken: each entry counted, and each visit noted
// under its patient's id on the server. False when it does not answer
// each entry.
bool NoteAnswer(Sending *s, const rapidjson::Value &entries,
                const std::string &body, long number, std::string *failure) {
  rapidjson::Document answer;
  answer.Parse(body.c_str(), body.size());
  const rapidjson::Value *results = Member(answer, "entry");
  if (answer.HasParseError() || !results || !results->IsArray() ||
      results->Size() != entries.Size()) {
    *failure = s->base + " answered Bundle " + std::to_string(number) +
               " with no entry for each of its own";
    return false;
  }
  // Patients first: the visits of this Bundle are theirs.
  std::map<std::string, std::string> patientOf; // fullUrl to server id
  for (int pass = 0; pass < 2; ++pass)
    for (rapidjson::SizeType i = 0; i < entries.Size(); ++i) {
      const rapidjson::Value *resource = Member(entries[i], "resource");
      const int t =
          resource ? TypeIndex(Text(Member(*resource, "resourceType")).c_str())
                   : -1;
      if (t < 0 || (pass == 0) != (t == 0))
        continue;
      std::string id;
      CountEntry(s, t, (*results)[i], &id);
      if (t == 0) {
        patientOf[Text(Member(entries[i], "fullUrl"))] = id;
        s->patients[id];
        continue;
      }
      const rapidjson::Value *subject = Member(*resource, "subject");
      id = patientOf[Text(subject ? Member(*subject, "reference") : nullptr)];
      const rapidjson::Value *ids = Member(*resource, "identifier");
      if (id.empty() || !ids || !ids->IsArray() || ids->Empty()) {
        *failure = s->base + " answered Bundle " + std::to_string(number) +
                   " without the Patient of its visits";
        return false;
      }
      Sent sent;
      if (!SentOf(Text(Member((*ids)[0], "value")), &sent)) {
        *failure = "Bundle " + std::to_string(number) +
                   " holds an identifier that is not the export's";
        return false;
      }
      s->patients[id].identifiers[t].push_back(sent);
    }
  return true;
}

// One Bundle posted; its answer counted. False, with the reason, when the
// server did not take it.
bool SendBundle(Sending *s, const std::string &file, long number, long total,
                std::string *failure) {
  std::ifstream in(file, std::ios::binary);
  const std::string body((std::istreambuf_iterator<char>(in)),
                         std::istreambuf_iterator<char>());
  rapidjson::Document bundle;
  bundle.Parse(body.c_str(), body.size());
  const rapidjson::Value *entries = Member(bundle, "entry");
  if (bundle.HasParseError() || !entries || !entries->IsArray()) {
    *failure = "cannot read back " + file;
    return false;
  }
  const HttpResponse r = Persist(s, "POST", s->base, body);
  if (r.status < 200 || r.status > 299) {
    *failure = BundleRefused(*s, r, *entries, number, total);
    return false;
  }
  return NoteAnswer(s, *entries, r.body, number, failure);
}

// Every resource of ours of `type` the server holds of the patient, by
// server id and identifier; false with the reason when it cannot tell.
bool HeldOf(Sending *s, const std::string &patient, const char *type,
            std::vector<std::pair<std::string, std::string>> *held,
            std::string *failure) {
  std::string url = s->base + "/" + type + "?subject=Patient/" + patient +
                    "&identifier=" + "urn%3Aietf%3Arfc%3A3986%7C" +
                    "&_elements=identifier&_count=200";
  while (!url.empty()) {
    const HttpResponse r = Persist(s, "GET", url, "");
    rapidjson::Document page;
    page.Parse(r.body.c_str(), r.body.size());
    if (r.status != 200 || page.HasParseError()) {
      *failure = Refusal(*s, r, "the search for what it holds");
      return false;
    }
    const rapidjson::Value *entries = Member(page, "entry");
    if (entries && entries->IsArray())
      for (const auto &e : entries->GetArray()) {
        const rapidjson::Value *resource = Member(e, "resource");
        const rapidjson::Value *ids =
            resource ? Member(*resource, "identifier") : nullptr;
        std::string identifier;
        if (ids && ids->IsArray())
          for (const auto &id : ids->GetArray())
            if (Text(Member(id, "system")) == kUriIdentifierSystem)
              identifier = Text(Member(id, "value"));
        held->emplace_back(Text(Member(*resource, "id")), identifier);
      }
    url.clear();
    const rapidjson::Value *links = Member(page, "link");
    if (links && links->IsArray())
      for (const auto &link : links->GetArray())
        if (Text(Member(link, "relation")) == "next")
          url = Text(Member(link, "url"));
  }
  return true;
}

// With --replace, what the server holds of ours of these patients that
// this export does not: removed. Then what it holds against what was sent.
bool CheckHeld(Sending *s, SendResult *result) {
  long removed[3] = {}, held[3] = {};
  const int types = s->options.fhir.pictures ? 3 : 2;
  for (auto &entry : s->patients)
    for (int t = 1; t < types; ++t) {
      std::vector<std::pair<std::string, std::string>> found;
      if (!HeldOf(s, entry.first, kTypes[t], &found, &result->failure))
        return false;
      for (const auto &f : found) {
        if (entry.second.Holds(t, f.second)) {
          ++held[t];
          continue;
        }
        if (!s->options.replace) {
          ++held[t];
          continue;
        }
        const HttpResponse r =
            Persist(s, "DELETE", s->base + "/" + kTypes[t] + "/" + f.first, "");
        if (r.status < 200 || r.status > 299) {
          result->failure = Refusal(*s, r,
                                    std::string("the removal of ") + kTypes[t] +
                                        "/" + f.first);
          return false;
        }
        ++removed[t];
      }
    }
  if (s->options.replace)
    s->status->Message("removed " + std::to_string(removed[1]) +
                       " Observation and " + std::to_string(removed[2]) +
                       " Media of these patients that this export no longer "
                       "holds");
  std::string holds;
  bool missing = false;
  for (int t = 1; t < types; ++t) {
    holds += (holds.empty() ? "" : ", ") + std::to_string(held[t]) + " " +
             kTypes[t] + " (" + std::to_string(s->sent[t]) + " sent)";
    missing = missing || held[t] < s->sent[t];
    result->extra = result->extra || held[t] > s->sent[t];
  }
  const std::string of =
      " of " +
      (s->patients.size() == 1
           ? std::string("this patient")
           : "these " + std::to_string(s->patients.size()) + " patients") +
      " under the export's identifiers";
  if (missing) {
    result->failure =
        "the server holds " + holds + of + ": not all that was sent is there";
    return false;
  }
  if (result->extra)
    s->status->Message(
        "the server holds " + holds + of +
        ": the others are visits an earlier load left that this export no "
        "longer holds (a corrected date, eye or ID, or a visit deleted); "
        "--replace removes them");
  else
    s->status->Message("the server holds " + holds + of + ", as sent");
  return true;
}

std::string Counted(long n, const char *one, const char *many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

void TellCounts(const Sending &s, long bundles) {
  // A patient is in each Bundle of its visits: counted once, created where
  // any of its entries made it.
  const long created = static_cast<long>(s.createdPatients.size());
  std::string said =
      "Patient " + std::to_string(created) + " created, " +
      std::to_string(static_cast<long>(s.patients.size()) - created) + " found";
  const int types = s.options.fhir.pictures ? 3 : 2;
  for (int t = 1; t < types; ++t)
    said += std::string("; ") + kTypes[t] + " " +
            std::to_string(s.counts.created[t]) + " created, " +
            std::to_string(s.counts.updated[t]) + " updated, " +
            std::to_string(s.counts.unchanged[t]) + " unchanged";
  s.status->Message("sent " + Counted(bundles, "Bundle", "Bundles") + " to " +
                    s.base + ", which says: " + said);
}

// The folder's Bundles, in order.
std::vector<std::string> BundleFiles(const std::string &folder) {
  std::vector<std::string> files;
  if (DIR *d = opendir(folder.c_str())) {
    while (const dirent *e = readdir(d))
      if (IsBundleFileName(e->d_name))
        files.push_back(folder + "/" + e->d_name);
    closedir(d);
  }
  std::sort(files.begin(), files.end(),
            [](const std::string &a, const std::string &b) {
              return a.size() != b.size() ? a.size() < b.size() : a < b;
            });
  return files;
}

void RemoveFolder(const std::string &folder) {
  for (const std::string &f : BundleFiles(folder))
    unlink(f.c_str());
  rmdir(folder.c_str());
}

} // namespace

SendResult SendFhirExport(std::istream &csv, const std::string &source,
                          const SendOptions &options, Status *status,
                          const std::function<void(double)> &wait) {
  SendResult result;
  // Made whole first, beside nothing of the user's: a row that cannot be
  // read stops the run before anything reaches the server.
  const char *tmp = getenv("TMPDIR");
  std::string work =
      std::string(tmp && *tmp ? tmp : "/tmp") + "/orbitrace-send.XXXXXX";
  if (!mkdtemp(&work[0])) {
    result.failure =
        std::string("cannot make a temporary folder: ") + strerror(errno);
    return result;
  }
  FhirOptions fhir = options.fhir;
  if (!fhir.bundleEntries && !fhir.bundleBytes)
    fhir.bundleEntries = kDefaultSendEntries;
  const std::string folder = work + "/bundles";
  result.made = MakeFhirExport(csv, source, folder + "/", fhir, status);
  if (!result.made.made) {
    RemoveFolder(folder);
    rmdir(work.c_str());
    result.failure = result.made.failure;
    return result;
  }
  Sending s{options,     status, wait, HttpClient(options.credentials),
            options.url, {},     {},   {},
            {}};
  while (s.base.size() > 8 && s.base.back() == '/')
    s.base.pop_back();
  const std::vector<std::string> files = BundleFiles(folder);
  status->SetTotal(static_cast<long>(files.size()));
  long number = 0;
  for (const std::string &file : files) {
    if (!SendBundle(&s, file, ++number, static_cast<long>(files.size()),
                    &result.failure))
      break;
    status->Update(number);
  }
  status->Finish();
  RemoveFolder(folder);
  rmdir(work.c_str());
  const bool allSent = result.failure.empty();
  if (number > (allSent ? 0 : 1))
    TellCounts(s, allSent ? number : number - 1);
  if (!allSent)
    return result;
  for (auto &p : s.patients) {
    p.second.Settle();
    for (int t = 1; t < 3; ++t)
      s.sent[t] += static_cast<long>(p.second.identifiers[t].size());
  }
  s.sent[0] = static_cast<long>(s.patients.size());
  result.sent = true;
  result.checked = CheckHeld(&s, &result);
  return result;
}
