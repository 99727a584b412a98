// The resources of the health-record export, each as one compact JSON
// object written with RapidJSON: a Patient, and per eye and visit an
// Observation of the stored values and a Media of the sketch's picture.
#pragma once

#include "orbitrace-render/fhir/fhir_identity.h"
#include "orbitrace-render/sketch_values.h"

#include <string>
#include <vector>

struct ExportPatient {
  PatientKey key;
  std::string name; // Patient.name.text: the name of its latest visit
  // The Patient's UUID (ResourceUuid), made once for all its resources;
  // made from the key where empty.
  std::string uuid = "";
  // The other names its ID carried in the export, latest first: each a name
  // of use "old".
  std::vector<std::string> oldNames = {};
};
std::string PatientUuid(const ExportPatient &patient);

struct ExportVisit {
  Eye eye;
  std::string date; // "YYYY-MM-DD"
  StoredValues values;
  std::string note;     // empty for none
  bool noteCut = false; // then the note's text ends in kNoteCutMark
  std::string record;   // the ID of its record in the database, or ""
};

// The UUID of a visit's Observation or Media: by its record's ID where it
// has one, else by patient, eye and date.
std::string VisitUuid(ResourceKind kind, const ExportPatient &patient,
                      const ExportVisit &visit);

// What follows a note that the reader cut with its row, so that no one
// takes its end for the note's.
extern const char kNoteCutMark[];

// The picture of a visit: the renderer's PNG file, byte for byte, in
// base64 as FHIR's attachments hold it.
struct ExportPicture {
  std::string base64;
  int width = 0, height = 0;
};
ExportPicture PictureOf(const std::vector<unsigned char> &png, int width,
                        int height);

// In a transaction Bundle resources carry no id and point at each other by
// the entries' "urn:uuid:" full URLs (EntryUuid of their UUID); in bulk
// files each has its UUID as id and is pointed at as "Type/id".
enum class ReferenceStyle { kBundle, kBulk };

// Each false, leaving `json` unspecified, when a text is not valid UTF-8
// or a value not an item the sketch can hold.
bool PatientJson(const ExportPatient &patient, ReferenceStyle style,
                 std::string *json);
// `withPicture`: the Observation names its Media (derivedFrom).
bool ObservationJson(const ExportPatient &patient, const ExportVisit &visit,
                     bool withPicture, ReferenceStyle style, std::string *json);
// The same appended to `json`, which stays as it was on false: the export
// writes a chunk's Observations one after the other into what it writes.
bool AppendObservationJson(const ExportPatient &patient,
                           const ExportVisit &visit, bool withPicture,
                           ReferenceStyle style, std::string *json);
bool MediaJson(const ExportPatient &patient, const ExportVisit &visit,
               const ExportPicture &picture, ReferenceStyle style,
               std::string *json);

// The reference to a resource in `style`.
std::string ReferenceTo(const char *resourceType, const std::string &uuid,
                        ReferenceStyle style);
