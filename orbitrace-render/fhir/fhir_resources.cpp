#include "orbitrace-render/fhir/fhir_resources.h"

#include "orbitrace-render/fhir/fhir_codes.h"

#include <glib.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

namespace {

// Strings are checked to be UTF-8 as they are written.
using JsonWriter = rapidjson::Writer<rapidjson::StringBuffer, rapidjson::UTF8<>,
                                     rapidjson::UTF8<>, rapidjson::CrtAllocator,
                                     rapidjson::kWriteValidateEncodingFlag>;

// A writer that remembers whether every call succeeded.
struct Json {
  rapidjson::StringBuffer buffer;
  JsonWriter writer{buffer};
  bool ok = true;

  Json &Key(const char *key) {
    ok = writer.Key(key) && ok;
    return *this;
  }
  Json &Text(const std::string &text) {
    ok = writer.String(text.data(),
                       static_cast<rapidjson::SizeType>(text.size())) &&
         ok;
    return *this;
  }
  Json &Int(int n) {
    ok = writer.Int(n) && ok;
    return *this;
  }
  // A decimal written with the digits it has. RawValue, as this RapidJSON's
  // RawNumber quotes its text; FhirDecimal makes it a JSON number.
  Json &Decimal(const std::string &item) {
    std::string decimal;
    ok = FhirDecimal(item, &decimal) &&
         writer.RawValue(decimal.data(), decimal.size(),
                         rapidjson::kNumberType) &&
         ok;
    return *this;
  }
  Json &Object() {
    ok = writer.StartObject() && ok;
    return *this;
  }
  Json &End() {
    ok = writer.EndObject() && ok;
    return *this;
  }
  Json &Array() {
    ok = writer.StartArray() && ok;
    return *this;
  }
  Json &EndArray() {
    ok = writer.EndArray() && ok;
    return *this;
  }
  // {"system": …, "code": …, "display": …}
  Json &Code(const char *system, const Coding &coding) {
    return Object()
        .Key("system")
        .Text(system)
        .Key("code")
        .Text(coding.code)
        .Key("display")
        .Text(coding.display)
        .End();
  }
  Json &Reference(const std::string &reference) {
    return Object().Key("reference").Text(reference).End();
  }
  // The resource's start: its type, its id in bulk files, and its identifier
  // by UUID.
  Json &Start(const char *type, const std::string &uuid, ReferenceStyle style) {
    Object().Key("resourceType").Text(type);
    if (style == ReferenceStyle::kBulk)
      Key("id").Text(uuid);
    return Key("identifier")
        .Array()
        .Object()
        .Key("system")
        .Text(kUriIdentifierSystem)
        .Key("value")
        .Text("urn:uuid:" + uuid)
        .End()
        .EndArray();
  }
  // A ratio's valueQuantity: a number without a unit, in UCUM "1".
  Json &Ratio(const std::string &item) {
    return Key("valueQuantity")
        .Object()
        .Key("value")
        .Decimal(item)
        .Key("unit")
        .Text("1")
        .Key("system")
        .Text(kUcumSystem)
        .Key("code")
        .Text("1")
        .End();
  }
  bool Done(std::string *json) {
    if (!ok || !writer.IsComplete())
      return false;
    json->assign(buffer.GetString(), buffer.GetSize());
    return true;
  }
};

const char *EyeWord(Eye eye) { return eye == kRightEye ? "right" : "left"; }

} // namespace

std::string ReferenceTo(const char *resourceType, const std::string &uuid,
                        ReferenceStyle style) {
  return style == ReferenceStyle::kBundle
             ? "urn:uuid:" + uuid
             : std::string(resourceType) + "/" + uuid;
}

bool PatientJson(const ExportPatient &patient, ReferenceStyle style,
                 std::string *json) {
  Json j;
  const std::string uuid = ResourceUuid(ResourceKind::kPatient, patient.key);
  // The clinic's own identifier, not the one by UUID: that is what another
  // system finds the patient by.
  j.Object().Key("resourceType").Text("Patient");
  if (style == ReferenceStyle::kBulk)
    j.Key("id").Text(uuid);
  j.Key("identifier")
      .Array()
      .Object()
      .Key("system")
      .Text(patient.key.system)
      .Key("value")
      .Text(patient.key.value)
      .End()
      .EndArray()
      .Key("name")
      .Array()
      .Object()
      .Key("text")
      .Text(patient.name)
      .End()
      .EndArray()
      .End();
  return j.Done(json);
}

bool ObservationJson(const ExportPatient &patient, const ExportVisit &visit,
                     bool withPicture, ReferenceStyle style,
                     std::string *json) {
  Coding hour;
  if (!ClockFaceCode(visit.values.location, &hour))
    return false;
  const std::string uuid = ResourceUuid(ResourceKind::kObservation, patient.key,
                                        visit.eye, visit.date);
  Json j;
  j.Start("Observation", uuid, style)
      .Key("status")
      .Text("final")
      .Key("category")
      .Array()
      .Object()
      .Key("coding")
      .Array()
      .Code("http://terminology.hl7.org/CodeSystem/observation-category",
            {"exam", "Exam"})
      .EndArray()
      .End()
      .EndArray()
      .Key("code")
      .Object()
      .Key("coding")
      .Array()
      .Code(kLoincSystem, CupDiscLoinc(visit.eye))
      .Code(kSnomedSystem, CupDiscSnomed())
      .EndArray()
      .Key("text")
      .Text(std::string("Cup-to-disc ratio, ") + EyeWord(visit.eye) + " eye")
      .End()
      .Key("subject")
      .Reference(ReferenceTo(
          "Patient", ResourceUuid(ResourceKind::kPatient, patient.key), style))
      .Key("effectiveDateTime")
      .Text(visit.date)
      .Ratio(visit.values.vertical);
  if (!visit.note.empty())
    j.Key("note")
        .Array()
        .Object()
        .Key("text")
        .Text(visit.noteCut ? visit.note + " [cut: the export's row was longer "
                                           "than the reader keeps]"
                            : visit.note)
        .End()
        .EndArray();
  j.Key("bodySite")
      .Object()
      .Key("coding")
      .Array()
      .Code(kSnomedSystem, EyeSite(visit.eye))
      .EndArray()
      .End();
  if (withPicture)
    j.Key("derivedFrom")
        .Array()
        .Reference(ReferenceTo("Media",
                               ResourceUuid(ResourceKind::kMedia, patient.key,
                                            visit.eye, visit.date),
                               style))
        .EndArray();
  const std::string *ratios[] = {&visit.values.horizontal,
                                 &visit.values.vertical, &visit.values.rim};
  j.Key("component").Array();
  for (int c = 0; c < kComponentCount; ++c) {
    j.Object()
        .Key("code")
        .Object()
        .Key("coding")
        .Array()
        .Code(kSketchCodeSystem, kComponentCodes[c])
        .EndArray()
        .End();
    if (c == kClockHour)
      j.Key("valueCodeableConcept")
          .Object()
          .Key("coding")
          .Array()
          .Code(kSnomedSystem, hour)
          .EndArray()
          .Key("text")
          .Text(visit.values.location + " o'clock, as drawn")
          .End();
    else
      j.Ratio(*ratios[c]);
    j.End();
  }
  j.EndArray().End();
  return j.Done(json);
}

bool MediaJson(const ExportPatient &patient, const ExportVisit &visit,
               const ExportPicture &picture, ReferenceStyle style,
               std::string *json) {
  const std::string uuid =
      ResourceUuid(ResourceKind::kMedia, patient.key, visit.eye, visit.date);
  gchar *base64 = g_base64_encode(picture.png.data(), picture.png.size());
  Json j;
  j.Start("Media", uuid, style)
      .Key("partOf")
      .Array()
      .Reference(ReferenceTo("Observation",
                             ResourceUuid(ResourceKind::kObservation,
                                          patient.key, visit.eye, visit.date),
                             style))
      .EndArray()
      .Key("status")
      .Text("completed")
      .Key("type")
      .Object()
      .Key("coding")
      .Array()
      .Code("http://terminology.hl7.org/CodeSystem/media-type",
            {"image", "Image"})
      .EndArray()
      .End()
      .Key("subject")
      .Reference(ReferenceTo(
          "Patient", ResourceUuid(ResourceKind::kPatient, patient.key), style))
      .Key("createdDateTime")
      .Text(visit.date)
      .Key("bodySite")
      .Object()
      .Key("coding")
      .Array()
      .Code(kSnomedSystem, EyeSite(visit.eye))
      .EndArray()
      .End()
      .Key("height")
      .Int(picture.height)
      .Key("width")
      .Int(picture.width)
      .Key("content")
      .Object()
      .Key("contentType")
      .Text("image/png")
      .Key("data")
      .Text(base64)
      .Key("title")
      .Text(std::string("Sketch of the ") + EyeWord(visit.eye) +
            " optic disc, " + visit.date)
      .End()
      .End();
  g_free(base64);
  return j.Done(json);
}
