#include "orbitrace-render/fhir/fhir_resources.h"

#include "orbitrace-render/fhir/fhir_codes.h"
#include "orbitrace-render/history/csv_records.h"
#include "sketch/value_lists.h"

#include <glib.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <stdlib.h>
#include <unordered_map>
#include <utility>

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
  // A part written before by a Json of its own (see Shared).
  Json &Raw(const std::string &json, rapidjson::Type type) {
    ok = writer.RawValue(json.data(), json.size(), type) && ok;
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
  bool Done(std::string *json) {
    if (!ok || !writer.IsComplete())
      return false;
    json->assign(buffer.GetString(), buffer.GetSize());
    return true;
  }
};

const char *EyeWord(Eye eye) { return eye == kRightEye ? "right" : "left"; }

// The parts that are the same in many resources, each written once by the
// writer and put in as written: most of an Observation is its codes.
struct Fragments {
  std::string category;
  std::string code[2], bodySite[2]; // by Eye
  std::string componentCode[kComponentCount];
  std::string hour[12]; // a clock hour's valueCodeableConcept, 1 to 12
  std::string mediaType;
  // A ratio's or rim value's valueQuantity, by its item.
  std::unordered_map<std::string, std::string> quantity;
};

template <typename Write> std::string Fragment(Write write) {
  Json j;
  write(j);
  std::string json;
  j.Done(&json);
  return json;
}

Fragments MakeFragments() {
  Fragments f;
  f.category = Fragment([](Json &j) {
    j.Array()
        .Object()
        .Key("coding")
        .Array()
        .Code("http://terminology.hl7.org/CodeSystem/observation-category",
              {"exam", "Exam"})
        .EndArray()
        .End()
        .EndArray();
  });
  for (Eye eye : {kRightEye, kLeftEye}) {
    f.code[eye] = Fragment([eye](Json &j) {
      j.Object()
          .Key("coding")
          .Array()
          .Code(kLoincSystem, CupDiscLoinc(eye))
          .Code(kSnomedSystem, CupDiscSnomed())
          .EndArray()
          .Key("text")
          .Text(std::string("Cup-to-disc ratio, ") + EyeWord(eye) + " eye")
          .End();
    });
    f.bodySite[eye] = Fragment([eye](Json &j) {
      j.Object()
          .Key("coding")
          .Array()
          .Code(kSnomedSystem, EyeSite(eye))
          .EndArray()
          .End();
    });
  }
  for (int c = 0; c < kComponentCount; ++c)
    f.componentCode[c] = Fragment([c](Json &j) {
      j.Object()
          .Key("coding")
          .Array()
          .Code(kSketchCodeSystem, kComponentCodes[c])
          .EndArray()
          .End();
    });
  for (int h = 1; h <= 12; ++h)
    f.hour[h - 1] = Fragment([h](Json &j) {
      Coding hour;
      ClockFaceCode(std::to_string(h), &hour);
      j.Object()
          .Key("coding")
          .Array()
          .Code(kSnomedSystem, hour)
          .EndArray()
          .Key("text")
          .Text(std::to_string(h) + " o'clock, as drawn")
          .End();
    });
  for (const auto &list : {std::make_pair(kRatioItems, kRatioCount),
                           std::make_pair(kRimItems, kRimCount)})
    for (int i = 0; i < list.second; ++i)
      f.quantity[list.first[i]] = Fragment([&](Json &j) {
        j.Object()
            .Key("value")
            .Decimal(list.first[i])
            .Key("unit")
            .Text("1")
            .Key("system")
            .Text(kUcumSystem)
            .Key("code")
            .Text("1")
            .End();
      });
  f.mediaType = Fragment([](Json &j) {
    j.Object()
        .Key("coding")
        .Array()
        .Code("http://terminology.hl7.org/CodeSystem/media-type",
              {"image", "Image"})
        .EndArray()
        .End();
  });
  return f;
}

const Fragments &Shared() {
  static const Fragments fragments = MakeFragments();
  return fragments;
}

// A ratio's valueQuantity: a number without a unit, UCUM's "1"; false for
// a text that is no item of the lists.
bool Quantity(Json &j, const std::string &item) {
  const auto found = Shared().quantity.find(item);
  if (found == Shared().quantity.end())
    return false;
  j.Key("valueQuantity").Raw(found->second, rapidjson::kObjectType);
  return true;
}

} // namespace

const char kNoteCutMark[] =
    " [note cut: its row in the export is longer than 64 KiB]";
static_assert(kMaxRecordBytes == 64 * 1024, "kNoteCutMark names the limit");

ExportPicture PictureOf(const std::vector<unsigned char> &png, int width,
                        int height) {
  gchar *base64 = g_base64_encode(png.data(), png.size());
  ExportPicture picture{base64, width, height};
  g_free(base64);
  return picture;
}

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
  const Fragments &f = Shared();
  const int hourIndex = atoi(visit.values.location.c_str()); // 1 to 12
  Json j;
  j.Start("Observation", uuid, style)
      .Key("status")
      .Text("final")
      .Key("category")
      .Raw(f.category, rapidjson::kArrayType)
      .Key("code")
      .Raw(f.code[visit.eye], rapidjson::kObjectType)
      .Key("subject")
      .Reference(ReferenceTo(
          "Patient", ResourceUuid(ResourceKind::kPatient, patient.key), style))
      .Key("effectiveDateTime")
      .Text(visit.date);
  j.ok = Quantity(j, visit.values.vertical) && j.ok;
  if (!visit.note.empty())
    j.Key("note")
        .Array()
        .Object()
        .Key("text")
        .Text(visit.noteCut ? visit.note + kNoteCutMark : visit.note)
        .End()
        .EndArray();
  j.Key("bodySite").Raw(f.bodySite[visit.eye], rapidjson::kObjectType);
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
    j.Object().Key("code").Raw(f.componentCode[c], rapidjson::kObjectType);
    if (c == kClockHour)
      j.Key("valueCodeableConcept")
          .Raw(f.hour[hourIndex - 1], rapidjson::kObjectType);
    else
      j.ok = Quantity(j, *ratios[c]) && j.ok;
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
      .Raw(Shared().mediaType, rapidjson::kObjectType)
      .Key("subject")
      .Reference(ReferenceTo(
          "Patient", ResourceUuid(ResourceKind::kPatient, patient.key), style))
      .Key("createdDateTime")
      .Text(visit.date)
      .Key("bodySite")
      .Raw(Shared().bodySite[visit.eye], rapidjson::kObjectType)
      .Key("height")
      .Int(picture.height)
      .Key("width")
      .Int(picture.width)
      .Key("content")
      .Object()
      .Key("contentType")
      .Text("image/png")
      .Key("data")
      .Text(picture.base64)
      .Key("title")
      .Text(std::string("Sketch of the ") + EyeWord(visit.eye) +
            " optic disc, " + visit.date)
      .End()
      .End();
  return j.Done(json);
}
