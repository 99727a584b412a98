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

// The identifier system of a resource identified by its UUID (RFC 3986:
// the value is a URI, "urn:uuid:…").
extern const char kUriIdentifierSystem[];

// "Patient?identifier=SYSTEM|VALUE" with both parts percent-encoded, as a
// transaction's conditional update names its resource.
std::string ConditionalUrl(const char *resourceType, const std::string &system,
                           const std::string &value);
