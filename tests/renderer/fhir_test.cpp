#include "orbitrace-render/fhir/fhir_codes.h"
#include "orbitrace-render/fhir/fhir_identity.h"
#include "orbitrace-render/fhir/fhir_resources.h"
#include "orbitrace-render/fhir/fhir_text.h"
#include "orbitrace-render/fhir/retry_policy.h"
#include "orbitrace-render/fhir/server_credentials.h"
#include "orbitrace-render/sketch_cairo.h"
#include "tests/renderer/render_main.h"

#include <gtest/gtest.h>

#include <glib.h>
#include <rapidjson/document.h>

#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

TEST(FhirDecimal, KeepsEveryStoredDigitAndRefusesWhatIsNoDecimal) {
  const struct {
    const char *item, *decimal; // null: refused
  } cases[] = {
      {".40", "0.40"},  {"-.20", "-0.20"}, {"1", "1"},       {"0", "0"},
      {".05", "0.05"},  {"-.95", "-0.95"}, {"0.45", "0.45"}, {"", nullptr},
      {".", nullptr},   {"-", nullptr},    {"1.", nullptr},  {"01", nullptr},
      {"1e2", nullptr}, {".4.0", nullptr}, {"+.4", nullptr},
  };
  for (const auto &c : cases) {
    std::string out;
    EXPECT_EQ(c.decimal != nullptr, FhirDecimal(c.item, &out)) << c.item;
    if (c.decimal) {
      EXPECT_EQ(c.decimal, out) << c.item;
    }
  }
}

TEST(FhirCodes, NameEachEyeAndEveryClockHourAsTheirSourcesDo) {
  EXPECT_STREQ("71485-7", CupDiscLoinc(kRightEye).code);
  EXPECT_STREQ("71484-0", CupDiscLoinc(kLeftEye).code);
  EXPECT_STREQ("362502000", EyeSite(kRightEye).code);
  EXPECT_STREQ("362503005", EyeSite(kLeftEye).code);
  const char *hours[12] = {"260318004", "260328008", "260330005", "260333007",
                           "260335000", "260337008", "260339006", "260341007",
                           "260343005", "260322009", "260324005", "260326007"};
  for (int h = 1; h <= 12; ++h) {
    Coding c;
    ASSERT_TRUE(ClockFaceCode(std::to_string(h), &c)) << h;
    EXPECT_STREQ(hours[h - 1], c.code) << h;
    EXPECT_EQ(std::to_string(h) + " o'clock position", c.display);
  }
  Coding c;
  for (const char *bad : {"0", "13", "03", "", "1 "})
    EXPECT_FALSE(ClockFaceCode(bad, &c)) << bad;
}

TEST(ResourceUuid, IsAVersion5UuidOfWhatTheResourceIs) {
  const PatientKey a{"urn:x", "1001"};
  const std::string p = ResourceUuid(ResourceKind::kPatient, a);
  ASSERT_EQ(36u, p.size());
  EXPECT_EQ('5', p[14]);
  EXPECT_NE(std::string::npos, std::string("89ab").find(p[19]));
  // Stable across runs and builds, so a second load finds the same
  // resources: RFC 4122's version 5 of "7:Patient;5:urn:x;4:1001;", as
  // Python's uuid.uuid5 gives it.
  EXPECT_EQ("62f458b9-7f56-5664-a932-9d9e3d0b9605", p);
  std::set<std::string> seen{
      p, ResourceUuid(ResourceKind::kPatient, {"urn:y", "1001"}),
      ResourceUuid(ResourceKind::kPatient, {"urn:x", "1002"}),
      // The parts cannot run into each other.
      ResourceUuid(ResourceKind::kPatient, {"urn:x1", "001"}),
      ResourceUuid(ResourceKind::kObservation, a, kRightEye, "2020-01-02"),
      ResourceUuid(ResourceKind::kObservation, a, kLeftEye, "2020-01-02"),
      ResourceUuid(ResourceKind::kObservation, a, kRightEye, "2020-01-03"),
      ResourceUuid(ResourceKind::kMedia, a, kRightEye, "2020-01-02")};
  EXPECT_EQ(8u, seen.size());
  EXPECT_EQ(p, ResourceUuid(ResourceKind::kPatient, a));
}

TEST(ConditionalUrl, EscapesTheSystemAndTheValueForTheSearchThenTheUrl) {
  const struct {
    const char *system, *value, *url;
  } cases[] = {
      // "," would be "or", "|" the system's end, "\\" and "$" escapes and
      // composites: each escaped by a backslash (%5C), then encoded.
      {"urn:x", "M\u00FCller, J&K",
       "Patient?identifier=urn%3Ax%7CM%C3%BCller%5C%2C%20J%26K"},
      {"urn:x", "a|b\\c$d",
       "Patient?identifier=urn%3Ax%7Ca%5C%7Cb%5C%5Cc%5C%24d"},
      {"urn:a,b", "1", "Patient?identifier=urn%3Aa%5C%2Cb%7C1"},
  };
  for (const auto &c : cases)
    EXPECT_EQ(c.url, ConditionalUrl("Patient", c.system, c.value)) << c.value;
}

TEST(EntryUuid, IsNeverTheResourcesOwn) {
  // A server rewrites a full URL's text wherever it stands, the
  // identifier "urn:uuid:<resource's UUID>" too, were it the same.
  const std::string own = ResourceUuid(ResourceKind::kPatient, {"urn:x", "1"});
  const std::string entry = EntryUuid(own);
  EXPECT_NE(own, entry);
  EXPECT_EQ('5', entry[14]);
  EXPECT_EQ(entry, EntryUuid(own));
}

TEST(PatientSystemOf, TakesAnAbsoluteUriAndMakesAnOidOrUuidOne) {
  const struct {
    const char *given, *system; // null: refused
    bool noted = false;
  } cases[] = {
      {"https://clinic.example/patients", "https://clinic.example/patients"},
      {"urn:oid:1.2.3", "urn:oid:1.2.3"},
      {"1.2.276.0.76.4.17", "urn:oid:1.2.276.0.76.4.17", true},
      {"6ECE2579-D916-5A48-8EC8-E6AB586A1DEB",
       "urn:uuid:6ece2579-d916-5a48-8ec8-e6ab586a1deb", true},
      {"clinic", nullptr},
      {"urn:a b", nullptr},
      {"3.1.2", nullptr},
      {"1.02.3", nullptr},
      {"1..2", nullptr},
      {":x", nullptr},
      {"1http://x", nullptr},
      {"urn:", nullptr},
      {"", nullptr},
  };
  for (const auto &c : cases) {
    std::string system, note, error;
    EXPECT_EQ(c.system != nullptr,
              PatientSystemOf(c.given, &system, &note, &error))
        << c.given;
    if (c.system) {
      EXPECT_EQ(c.system, system) << c.given;
      EXPECT_EQ(c.noted, !note.empty()) << c.given;
    } else {
      EXPECT_NE(std::string::npos, error.find("not an absolute URI"));
    }
  }
}

TEST(RetryWait, TriesAgainOnlyWhatTheServerSaysLaterForAndHowLongItAsks) {
  const RetryRule rule; // 5 tries after the first, 1 s doubled up to 60 s
  const time_t now = 1700000000; // Tue, 14 Nov 2023 22:13:20 GMT
  const struct {
    long status;
    const char *retryAfter;
    int tried;
    double wait; // -1: not again
  } cases[] = {
      {503, "", 1, 1},   {503, "", 2, 2},    {0, "", 3, 4},
      {502, "", 5, 16},  {504, "", 6, -1},   {429, "7", 1, 7},
      {429, "0", 2, 0},  {429, "301", 1, -1}, {429, "x", 1, 1},
      {429, "Tue, 14 Nov 2023 22:13:50 GMT", 1, 30},
      {429, "Tue, 14 Nov 2023 22:13:00 GMT", 1, 0},
      {400, "", 1, -1},  {401, "", 1, -1},   {500, "", 1, -1},
      {404, "5", 1, -1},
  };
  for (const auto &c : cases)
    EXPECT_EQ(c.wait, RetryWait(c.status, c.retryAfter, c.tried, rule, now))
        << c.status << " " << c.retryAfter << " after " << c.tried;
  RetryRule longer;
  longer.retries = 10;
  EXPECT_EQ(60, RetryWait(503, "", 9, longer, now)); // capped
}

TEST(ReadCredentials, TakesAFilesBearerOrBasicAndNeverSaysTheSecret) {
  const std::string dir = TempDir();
  const struct {
    const char *line;
    const char *bearer, *user, *password; // bearer null: refused
  } cases[] = {
      {"Bearer s3cret-token\n", "s3cret-token", "", ""},
      {"bearer  s3cret-token \r\n", "s3cret-token", "", ""},
      {"Basic ann:pa:ss\n", "", "ann", "pa:ss"},
      {"s3cret-token\n", nullptr},
      {"Basic s3cret-token\n", nullptr},
      {"Bearer\n", nullptr},
      {"", nullptr},
  };
  for (const auto &c : cases) {
    const std::string file = dir + "/auth";
    std::ofstream(file) << c.line;
    ServerCredentials got;
    std::string error;
    EXPECT_EQ(c.bearer != nullptr, ReadCredentials(file, &got, &error))
        << c.line;
    if (c.bearer) {
      EXPECT_EQ(c.bearer, got.bearer);
      EXPECT_EQ(c.user, got.user);
      EXPECT_EQ(c.password, got.password);
    } else {
      EXPECT_EQ(std::string::npos, error.find("s3cret")) << error;
    }
  }
  ServerCredentials got;
  std::string error;
  EXPECT_FALSE(ReadCredentials(dir + "/none", &got, &error));
  setenv("ORBITRACE_FHIR_TOKEN", "from-env", 1);
  EXPECT_TRUE(ReadCredentials("", &got, &error));
  EXPECT_EQ("from-env", got.bearer);
  unsetenv("ORBITRACE_FHIR_TOKEN");
}

TEST(DropControls, TakesOutWhatFhirTextCannotHoldAndKeepsTheRest) {
  const struct {
    const char *text, *kept;
    long dropped;
  } cases[] = {
      {"disc\ftilted\x1B[0m", "disctilted[0m", 2},
      {"a\tb\r\nc", "a\tb\r\nc", 0},
      {"bell\a\x7F", "bell", 2},
      {"M\xC3\xBCller \xC2\x85\xC2\xA0x", "M\xC3\xBCller \xC2\xA0x", 1},
  };
  for (const auto &c : cases) {
    std::string text = c.text;
    EXPECT_EQ(c.dropped, DropControls(&text)) << c.text;
    EXPECT_EQ(c.kept, text);
  }
  std::string nul("a\0b", 3);
  EXPECT_EQ(1, DropControls(&nul));
  EXPECT_EQ("ab", nul);
}

rapidjson::Document Parsed(const std::string &json) {
  rapidjson::Document d;
  d.Parse(json.c_str());
  EXPECT_FALSE(d.HasParseError()) << json;
  return d;
}

TEST(FhirResources, WriteTheStoredValuesWithTheirDigitsAndTheEyesCodes) {
  const ExportPatient patient{{"urn:x", "1001"}, "M\u00FCller, J\u00FCrgen"};
  ExportVisit visit;
  visit.eye = kLeftEye;
  visit.date = "2020-01-02";
  visit.values = {".30", ".40", "3", "-.20"};
  std::string json;
  ASSERT_TRUE(
      ObservationJson(patient, visit, true, ReferenceStyle::kBulk, &json));
  // The decimals as stored, never through a double.
  EXPECT_NE(std::string::npos,
            json.find("\"valueQuantity\":{\"value\":0.40,\"unit\":\"1\""))
      << json;
  EXPECT_NE(std::string::npos, json.find("\"value\":-0.20,")) << json;
  EXPECT_NE(std::string::npos, json.find("\"value\":0.30,")) << json;
  const rapidjson::Document d = Parsed(json);
  EXPECT_STREQ("71484-0", d["code"]["coding"][0]["code"].GetString());
  EXPECT_STREQ("362503005", d["bodySite"]["coding"][0]["code"].GetString());
  EXPECT_STREQ("260330005",
               d["component"][3]["valueCodeableConcept"]["coding"][0]["code"]
                   .GetString());
  EXPECT_STREQ("2020-01-02", d["effectiveDateTime"].GetString());
  const std::string id = d["id"].GetString();
  EXPECT_EQ("Patient/" + ResourceUuid(ResourceKind::kPatient, patient.key),
            d["subject"]["reference"].GetString());
  EXPECT_EQ("Media/" + ResourceUuid(ResourceKind::kMedia, patient.key, kLeftEye,
                                    "2020-01-02"),
            d["derivedFrom"][0]["reference"].GetString());

  // The picture links back, inline, byte for byte.
  const std::vector<unsigned char> png{0x89, 'P', 'N', 'G', 0, 0xFF};
  const ExportPicture picture = PictureOf(png, 10, 20);
  ASSERT_TRUE(
      MediaJson(patient, visit, picture, ReferenceStyle::kBundle, &json));
  const rapidjson::Document m = Parsed(json);
  EXPECT_FALSE(m.HasMember("id"));
  EXPECT_EQ("urn:uuid:" + EntryUuid(id),
            m["partOf"][0]["reference"].GetString());
  gsize size = 0;
  guchar *bytes = g_base64_decode(m["content"]["data"].GetString(), &size);
  EXPECT_EQ(png, std::vector<unsigned char>(bytes, bytes + size));
  g_free(bytes);

  // A note goes with its visit, escaped, marked when the export's row was
  // cut; in a Bundle the resource has no id.
  visit.note = "disc \"tilted\"\t\\";
  visit.noteCut = true;
  ASSERT_TRUE(
      ObservationJson(patient, visit, false, ReferenceStyle::kBundle, &json));
  const rapidjson::Document n = Parsed(json);
  EXPECT_EQ(0u, std::string(n["note"][0]["text"].GetString())
                    .find("disc \"tilted\"\t\\ [note cut:"));
  EXPECT_FALSE(n.HasMember("derivedFrom"));
  EXPECT_FALSE(n.HasMember("id"));
  EXPECT_EQ("urn:uuid:" + id, n["identifier"][0]["value"].GetString());

  // Text that is not UTF-8 is refused, not written.
  const ExportPatient bad{{"urn:x", "J\xFCrgen"}, "J\xFCrgen"};
  EXPECT_FALSE(PatientJson(bad, ReferenceStyle::kBulk, &json));
  visit.note = "J\xFCrgen";
  EXPECT_FALSE(
      ObservationJson(patient, visit, false, ReferenceStyle::kBulk, &json));
  // Appended to what a file already holds, nothing of it is left.
  std::string lines = "{}\n";
  EXPECT_FALSE(AppendObservationJson(patient, visit, false,
                                     ReferenceStyle::kBulk, &lines));
  EXPECT_EQ("{}\n", lines);
  visit.note.clear();
  visit.values.position = "13";
  EXPECT_FALSE(
      ObservationJson(patient, visit, false, ReferenceStyle::kBulk, &json));
}

} // namespace
