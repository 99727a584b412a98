#include "orbitrace-render/fhir/fhir_identity.h"

#include <glib.h>
#include <uuid/uuid.h>

#include <ctype.h>

const char kUriIdentifierSystem[] = "urn:ietf:rfc:3986";

namespace {

// Each part with its length before it: "a|b" + "c" and "a" + "b|c" differ.
void AddPart(std::string *name, const std::string &part) {
  name->append(std::to_string(part.size()));
  name->push_back(':');
  name->append(part);
  name->push_back(';');
}

// The version-5 UUID of `name` in `space`.
std::string Version5(const uuid_t space, const std::string &name) {
  uuid_t out;
  uuid_generate_sha1(out, space, name.data(), name.size());
  char text[37];
  uuid_unparse_lower(out, text);
  return text;
}

// The namespace of the export's names, itself the version-5 UUID of
// "orbitrace:resource-identity" in the URL namespace.
const uuid_t kResources = {0x9a, 0x09, 0xf7, 0xe9, 0x4a, 0x16, 0x5d, 0xe7,
                           0xb0, 0xab, 0x66, 0xd0, 0xfb, 0x76, 0x1e, 0xd1};

const char *const kKinds[] = {"Patient", "Observation", "Media"};

} // namespace

std::string ResourceUuid(ResourceKind kind, const PatientKey &patient, Eye eye,
                         const std::string &date) {
  std::string name;
  name.reserve(64 + patient.system.size() + patient.value.size());
  AddPart(&name, kKinds[static_cast<int>(kind)]);
  AddPart(&name, patient.system);
  AddPart(&name, patient.value);
  if (kind != ResourceKind::kPatient) {
    AddPart(&name, eye == kRightEye ? "right" : "left");
    AddPart(&name, date);
  }
  return Version5(kResources, name);
}

std::string RecordUuid(ResourceKind kind, const std::string &system,
                       const std::string &record) {
  // Four parts where a visit by patient, eye and date has five: the two
  // never give the same name.
  std::string name;
  AddPart(&name, kKinds[static_cast<int>(kind)]);
  AddPart(&name, system);
  AddPart(&name, "record");
  AddPart(&name, record);
  return Version5(kResources, name);
}

std::string EntryUuid(const std::string &resourceUuid) {
  // The namespace of entries, the version-5 UUID of "orbitrace:bundle-entry"
  // in the URL namespace: apart from the resources' own.
  static const uuid_t kNamespace = {0x6b, 0xf3, 0x72, 0xe2, 0x59, 0xcd,
                                    0x56, 0xaf, 0x85, 0x88, 0x10, 0x6e,
                                    0xa5, 0x06, 0x9a, 0x52};
  return Version5(kNamespace, resourceUuid);
}

std::string SearchEscaped(const std::string &text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c == '\\' || c == ',' || c == '|' || c == '$')
      out.push_back('\\');
    out.push_back(c);
  }
  return out;
}

namespace {

std::string PercentEncoded(const std::string &s) {
  char *e = g_uri_escape_string(s.c_str(), nullptr, FALSE);
  std::string out = e;
  g_free(e);
  return out;
}

bool IsOid(const std::string &s) {
  // ITU-T X.660: arcs of digits without leading zeros, the first 0 to 2.
  if (s.size() < 3 || s[0] < '0' || s[0] > '2' || s[1] != '.')
    return false;
  for (size_t i = 1; i < s.size(); ++i) {
    if (s[i] != '.')
      return false;
    const size_t start = ++i;
    while (i < s.size() && isdigit(static_cast<unsigned char>(s[i])))
      ++i;
    if (i == start || (s[start] == '0' && i - start > 1))
      return false;
    --i;
  }
  return true;
}

bool IsUuid(const std::string &s) {
  if (s.size() != 36)
    return false;
  for (size_t i = 0; i < s.size(); ++i)
    if (i == 8 || i == 13 || i == 18 || i == 23
            ? s[i] != '-'
            : !isxdigit(static_cast<unsigned char>(s[i])))
      return false;
  return true;
}

// RFC 3986: scheme ":" and something after it, with no space or control.
bool IsAbsoluteUri(const std::string &s) {
  const size_t colon = s.find(':');
  if (colon == std::string::npos || colon == 0 || colon + 1 == s.size() ||
      !isalpha(static_cast<unsigned char>(s[0])))
    return false;
  for (size_t i = 1; i < colon; ++i)
    if (!isalnum(static_cast<unsigned char>(s[i])) && s[i] != '+' &&
        s[i] != '-' && s[i] != '.')
      return false;
  for (unsigned char c : s)
    if (c <= ' ' || c == 0x7F)
      return false;
  return true;
}

} // namespace

std::string IdentifierQuery(const std::string &system,
                            const std::string &value) {
  return "identifier=" + PercentEncoded(SearchEscaped(system)) + "%7C" +
         PercentEncoded(SearchEscaped(value));
}

std::string ConditionalUrl(const char *resourceType, const std::string &system,
                           const std::string &value) {
  return std::string(resourceType) + "?" + IdentifierQuery(system, value);
}

bool PatientSystemOf(const std::string &given, std::string *system,
                     std::string *note, std::string *error) {
  note->clear();
  if (IsOid(given)) {
    *system = "urn:oid:" + given;
  } else if (IsUuid(given)) {
    *system = "urn:uuid:" + given;
    for (char &c : *system)
      c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  } else if (IsAbsoluteUri(given)) {
    *system = given;
    return true;
  } else {
    *error = "\"" + given +
             "\" is not an absolute URI (such as "
             "https://clinic.example/patients), an OID or a UUID";
    return false;
  }
  *note = "the patient system \"" + given + "\" is taken as \"" + *system +
          "\", as FHIR writes " +
          (system->compare(0, 8, "urn:oid:") == 0 ? "an OID" : "a UUID");
  return true;
}
