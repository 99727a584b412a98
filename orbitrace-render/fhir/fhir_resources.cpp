#include "orbitrace-render/fhir/fhir_resources.h"

#include "orbitrace-render/fhir/fhir_codes.h"
#include "orbitrace-render/fhir/fhir_json.h"
#include "orbitrace-render/history/csv_records.h"
#include "sketch/value_lists.h"

#include <glib.h>

#include <stdlib.h>
#include <unordered_map>
#include <utility>

namespace {

// A writer that remembers whether every call succeeded.
struct Json {
  rapidjson::StringBuffer buffer;
  FhirWriter writer{buffer};
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
  // A part written whole before by a Json of its own (see Shared).
  Json &Raw(const std::string &json, rapidjson::Type type) {
    ok = writer.Written(json.data(), json.size(), type) && ok;
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
  // Where a Template has hole `n` (see Template).
  Json &Hole(int n) { return Text("@" + std::to_string(n) + "@"); }
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

// What fills a hole of a Template: a text that the writer writes, and
// checks, now; or a part that it wrote whole before.
struct Filling {
  const std::string *text = nullptr;
  const std::string *written = nullptr;
};

// RapidJSON's output to the end of a string: the resources of a chunk go
// straight into what is written, without a copy of each.
struct Appender {
  typedef char Ch;
  std::string *text;
  void Put(char c) { text->push_back(c); }
  void Flush() {}
};
// The export's writer, to a string.
using TextWriter = CheckedWriter<Appender>;

// A resource's JSON with holes for what differs from one resource to the
// next. The writer writes the resource once with a marker in each hole
// (Json::Hole); the text between the markers is then put in as written,
// and only the holes are written for each resource.
class Template {
public:
  template <typename Layout> explicit Template(Layout layout) {
    Json j;
    layout(j);
    std::string json;
    j.Done(&json);
    // No fixed part holds '@': they are keys, codes and their names.
    size_t from = 0;
    for (size_t at; (at = json.find("\"@", from)) != std::string::npos;) {
      const size_t end = json.find("@\"", at + 2);
      fixed_.push_back(json.substr(from, at - from));
      holes_.push_back(atoi(json.c_str() + at + 2));
      from = end + 2;
    }
    fixed_.push_back(json.substr(from));
  }

  // Appends the resource to `json`; false, with `json` as it was, when a
  // text is not valid UTF-8.
  bool Fill(const Filling fillings[], std::string *json) const {
    const size_t start = json->size();
    Appender out{json};
    TextWriter writer(out);
    for (size_t i = 0; i < holes_.size(); ++i) {
      json->append(fixed_[i]);
      const Filling &f = fillings[holes_[i]];
      if (f.written) {
        json->append(*f.written);
        continue;
      }
      // Each text as a JSON document of its own, so as the writer
      // escapes and checks it in any other place.
      writer.Reset(out);
      if (!writer.String(f.text->data(),
                         static_cast<rapidjson::SizeType>(f.text->size()))) {
        json->resize(start);
        return false;
      }
    }
    json->append(fixed_.back());
    return true;
  }

private:
  std::vector<std::string> fixed_; // before each hole, and after the last
  std::vector<int> holes_;
};

// The holes of an Observation.
enum ObservationHole {
  kId,
  kIdentifier,
  kSubject,
  kDate,
  kValue,
  kNote,
  kDerivedFrom,
  kComponentValue, // kComponentCount of them
  kObservationHoles = kComponentValue + kComponentCount
};

// The parts that are the same in many resources, each written once by the
// writer and put in as written: most of an Observation is its codes.
struct Fragments {
  std::string category;
  std::string code[2], bodySite[2]; // by Eye
  std::string componentCode[kComponentCount];
  std::string position[12]; // a clock hour's valueCodeableConcept, 1 to 12
  std::string mediaType;
  // A ratio's or rim value's valueQuantity, by its item.
  std::unordered_map<std::string, std::string> quantity;
  // By eye, ReferenceStyle, with a note or not, with a picture or not.
  std::vector<Template> observation;
};

// The index in Fragments::observation.
size_t ObservationVariant(Eye eye, ReferenceStyle style, bool withNote,
                          bool withPicture) {
  return (eye == kLeftEye ? 8 : 0) + (style == ReferenceStyle::kBulk ? 4 : 0) +
         (withNote ? 2 : 0) + (withPicture ? 1 : 0);
}

// An Observation's JSON with its holes (see Template).
void ObservationLayout(Json &j, const Fragments &f, Eye eye,
                       ReferenceStyle style, bool withNote, bool withPicture) {
  j.Object().Key("resourceType").Text("Observation");
  if (style == ReferenceStyle::kBulk)
    j.Key("id").Hole(kId);
  j.Key("identifier")
      .Array()
      .Object()
      .Key("system")
      .Text(kUriIdentifierSystem)
      .Key("value")
      .Hole(kIdentifier)
      .End()
      .EndArray()
      .Key("status")
      .Text("final")
      .Key("category")
      .Raw(f.category, rapidjson::kArrayType)
      .Key("code")
      .Raw(f.code[eye], rapidjson::kObjectType)
      .Key("subject")
      .Object()
      .Key("reference")
      .Hole(kSubject)
      .End()
      .Key("effectiveDateTime")
      .Hole(kDate)
      .Key("valueQuantity")
      .Hole(kValue);
  if (withNote)
    j.Key("note").Array().Object().Key("text").Hole(kNote).End().EndArray();
  j.Key("bodySite").Raw(f.bodySite[eye], rapidjson::kObjectType);
  if (withPicture)
    j.Key("derivedFrom")
        .Array()
        .Object()
        .Key("reference")
        .Hole(kDerivedFrom)
        .End()
        .EndArray();
  j.Key("component").Array();
  for (int c = 0; c < kComponentCount; ++c)
    j.Object()
        .Key("code")
        .Raw(f.componentCode[c], rapidjson::kObjectType)
        .Key(c == kClockHour ? "valueCodeableConcept" : "valueQuantity")
        .Hole(kComponentValue + c)
        .End();
  j.EndArray().End();
}

template <typename Write> std::string Fragment(Write write) {
  Json j;
  write(j);
  std::string json;
  j.Done(&json);
  return json;
}

// The codings every resource repeats: category, the eye's code and site,
// the components' codes and the pictures' type.
void MakeCodes(Fragments *f) {
  f->category = Fragment([](Json &j) {
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
    f->code[eye] = Fragment([eye](Json &j) {
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
    f->bodySite[eye] = Fragment([eye](Json &j) {
      j.Object()
          .Key("coding")
          .Array()
          .Code(kSnomedSystem, EyeSite(eye))
          .EndArray()
          .End();
    });
  }
  for (int c = 0; c < kComponentCount; ++c)
    f->componentCode[c] = Fragment([c](Json &j) {
      j.Object()
          .Key("coding")
          .Array()
          .Code(kSketchCodeSystem, kComponentCodes[c])
          .EndArray()
          .End();
    });
  f->mediaType = Fragment([](Json &j) {
    j.Object()
        .Key("coding")
        .Array()
        .Code("http://terminology.hl7.org/CodeSystem/media-type",
              {"image", "Image"})
        .EndArray()
        .End();
  });
}

// A clock hour's concept, one for each of the twelve.
void MakePositions(Fragments *f) {
  for (int h = 1; h <= 12; ++h)
    f->position[h - 1] = Fragment([h](Json &j) {
      Coding position;
      ClockFaceCode(std::to_string(h), &position);
      j.Object()
          .Key("coding")
          .Array()
          .Code(kSnomedSystem, position)
          .EndArray()
          .Key("text")
          .Text(std::to_string(h) + " o'clock, as drawn")
          .End();
    });
}

// A ratio's or a rim's quantity, one for each item of their lists, with
// the item's own digits.
void MakeQuantities(Fragments *f) {
  for (const auto &list : {std::make_pair(kRatioItems, kRatioCount),
                           std::make_pair(kRimItems, kRimCount)})
    for (int i = 0; i < list.second; ++i)
      f->quantity[list.first[i]] = Fragment([&](Json &j) {
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
}

Fragments MakeFragments() {
  Fragments f;
  MakeCodes(&f);
  MakePositions(&f);
  MakeQuantities(&f);
  for (size_t v = 0; v < 16; ++v)
    f.observation.emplace_back([&](Json &j) {
      ObservationLayout(j, f, v & 8 ? kLeftEye : kRightEye,
                        v & 4 ? ReferenceStyle::kBulk : ReferenceStyle::kBundle,
                        v & 2, v & 1);
    });
  return f;
}

const Fragments &Shared() {
  static const Fragments fragments = MakeFragments();
  return fragments;
}

// A ratio's valueQuantity: a number without a unit, UCUM's "1"; null for
// a text that is no item of the lists.
const std::string *Quantity(const std::string &item) {
  const auto found = Shared().quantity.find(item);
  return found == Shared().quantity.end() ? nullptr : &found->second;
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

std::string PatientUuid(const ExportPatient &patient) {
  return patient.uuid.empty()
             ? ResourceUuid(ResourceKind::kPatient, patient.key)
             : patient.uuid;
}

std::string VisitUuid(ResourceKind kind, const ExportPatient &patient,
                      const ExportVisit &visit) {
  return visit.record.empty()
             ? ResourceUuid(kind, patient.key, visit.eye, visit.date)
             : RecordUuid(kind, patient.key.system, visit.record);
}

std::string ReferenceTo(const char *resourceType, const std::string &uuid,
                        ReferenceStyle style) {
  return style == ReferenceStyle::kBundle
             ? "urn:uuid:" + EntryUuid(uuid)
             : std::string(resourceType) + "/" + uuid;
}

bool PatientJson(const ExportPatient &patient, ReferenceStyle style,
                 std::string *json) {
  Json j;
  const std::string uuid = PatientUuid(patient);
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
      .End();
  for (const std::string &old : patient.oldNames)
    j.Object().Key("use").Text("old").Key("text").Text(old).End();
  j.EndArray().End();
  return j.Done(json);
}

bool ObservationJson(const ExportPatient &patient, const ExportVisit &visit,
                     bool withPicture, ReferenceStyle style,
                     std::string *json) {
  json->clear();
  return AppendObservationJson(patient, visit, withPicture, style, json);
}

bool AppendObservationJson(const ExportPatient &patient,
                           const ExportVisit &visit, bool withPicture,
                           ReferenceStyle style, std::string *json) {
  Coding position;
  if (!ClockFaceCode(visit.values.position, &position))
    return false;
  const Fragments &f = Shared();
  const std::string *quantities[kComponentCount - 1] = {
      Quantity(visit.values.horizontal), Quantity(visit.values.vertical),
      Quantity(visit.values.rim)};
  for (const std::string *q : quantities)
    if (!q)
      return false;
  const std::string uuid =
      VisitUuid(ResourceKind::kObservation, patient, visit);
  const std::string identifier = "urn:uuid:" + uuid;
  const std::string subject =
      ReferenceTo("Patient", PatientUuid(patient), style);
  const std::string media =
      withPicture
          ? ReferenceTo("Media",
                        VisitUuid(ResourceKind::kMedia, patient, visit), style)
          : "";
  const std::string cutNote = visit.noteCut ? visit.note + kNoteCutMark : "";
  Filling fill[kObservationHoles];
  fill[kId].text = &uuid;
  fill[kIdentifier].text = &identifier;
  fill[kSubject].text = &subject;
  fill[kDate].text = &visit.date;
  fill[kValue].written = quantities[kVertical];
  fill[kNote].text = visit.noteCut ? &cutNote : &visit.note;
  fill[kDerivedFrom].text = &media;
  for (int c = 0; c < kClockHour; ++c)
    fill[kComponentValue + c].written = quantities[c];
  fill[kComponentValue + kClockHour].written =
      &f.position[atoi(visit.values.position.c_str()) - 1]; // 1 to 12
  return f
      .observation[ObservationVariant(visit.eye, style, !visit.note.empty(),
                                      withPicture)]
      .Fill(fill, json);
}

bool MediaJson(const ExportPatient &patient, const ExportVisit &visit,
               const ExportPicture &picture, ReferenceStyle style,
               std::string *json) {
  const std::string uuid = VisitUuid(ResourceKind::kMedia, patient, visit);
  Json j;
  j.Start("Media", uuid, style)
      .Key("partOf")
      .Array()
      .Reference(ReferenceTo(
          "Observation", VisitUuid(ResourceKind::kObservation, patient, visit),
          style))
      .EndArray()
      .Key("status")
      .Text("completed")
      .Key("type")
      .Raw(Shared().mediaType, rapidjson::kObjectType)
      .Key("subject")
      .Reference(ReferenceTo("Patient", PatientUuid(patient), style))
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
