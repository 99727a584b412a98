// What makes each exported resource the same one on every run: a
// name-based UUID (version 5) of what it is, and the conditional-update
// URLs by its identifier.
#pragma once

#include "orbitrace-render/history/visit_row.h"

#include <string>

// Who a Patient is: the identifier's system and value.
struct PatientKey {
  std::string system;
  std::string value;
};

enum class ResourceKind { kPatient, kObservation, kMedia };

// The resource's UUID, "xxxxxxxx-xxxx-5xxx-yxxx-xxxxxxxxxxxx": of the
// patient alone, or of patient, eye and visit date ("YYYY-MM-DD") for an
// Observation and its Media. The parts are joined so that no two
// different sets of parts give the same name.
std::string ResourceUuid(ResourceKind kind, const PatientKey &patient,
                         Eye eye = kRightEye, const std::string &date = "");

// The UUID of a visit's Observation or Media known by the ID of its
// record in the clinic's database (under the patients' system, the
// clinic's): the same whatever date, eye or patient the record is
// corrected to.
std::string RecordUuid(ResourceKind kind, const std::string &system,
                       const std::string &record);

// The identifier system of a resource identified by its UUID (RFC 3986:
// the value is a URI, "urn:uuid:…").
extern const char kUriIdentifierSystem[];

// The UUID by which a Bundle's entry names the resource of `resourceUuid`
// (its fullUrl, "urn:uuid:…", and the references to it). A server puts its
// own reference in place of that text wherever it stands in the Bundle, so
// it is never the text of the identifier a later load searches for.
std::string EntryUuid(const std::string &resourceUuid);

// `text` as a value of a FHIR search: "\", ",", "|" and "$" each escaped by
// a backslash, as a search otherwise reads them as "or", the system's end
// or a composite's parts.
std::string SearchEscaped(const std::string &text);

// "identifier=SYSTEM|VALUE", each part escaped for the search and then
// percent-encoded: a query that finds exactly the resource of that
// identifier.
std::string IdentifierQuery(const std::string &system,
                            const std::string &value);

// "Patient?" and the IdentifierQuery, as a transaction's conditional update
// names its resource.
std::string ConditionalUrl(const char *resourceType, const std::string &system,
                           const std::string &value);

// The patients' identifier system as given on the command line: an absolute
// URI as it is; a bare OID or UUID made "urn:oid:…" / "urn:uuid:…", with
// what was done in `note`. False, with the reason in `error`, for anything
// else.
bool PatientSystemOf(const std::string &given, std::string *system,
                     std::string *note, std::string *error);
