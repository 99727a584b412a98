#include "orbitrace-render/fhir/fhir_identity.h"

#include <glib.h>
#include <uuid/uuid.h>

const char kUriIdentifierSystem[] = "urn:ietf:rfc:3986";

namespace {

// Each part with its length before it: "a|b" + "c" and "a" + "b|c" differ.
void AddPart(std::string *name, const std::string &part) {
  name->append(std::to_string(part.size()));
  name->push_back(':');
  name->append(part);
  name->push_back(';');
}

} // namespace

std::string ResourceUuid(ResourceKind kind, const PatientKey &patient, Eye eye,
                         const std::string &date) {
  // The namespace of the export's names, itself the version-5 UUID of
  // "orbitrace:resource-identity" in the URL namespace.
  static const uuid_t kNamespace = {0x9a, 0x09, 0xf7, 0xe9, 0x4a, 0x16,
                                    0x5d, 0xe7, 0xb0, 0xab, 0x66, 0xd0,
                                    0xfb, 0x76, 0x1e, 0xd1};
  static const char *const kKinds[] = {"Patient", "Observation", "Media"};
  std::string name;
  name.reserve(64 + patient.system.size() + patient.value.size());
  AddPart(&name, kKinds[static_cast<int>(kind)]);
  AddPart(&name, patient.system);
  AddPart(&name, patient.value);
  if (kind != ResourceKind::kPatient) {
    AddPart(&name, eye == kRightEye ? "right" : "left");
    AddPart(&name, date);
  }
  uuid_t out;
  uuid_generate_sha1(out, kNamespace, name.data(), name.size());
  char text[37];
  uuid_unparse_lower(out, text);
  return text;
}

std::string ConditionalUrl(const char *resourceType, const std::string &system,
                           const std::string &value) {
  const auto escaped = [](const std::string &s) {
    char *e = g_uri_escape_string(s.c_str(), nullptr, FALSE);
    std::string out = e;
    g_free(e);
    return out;
  };
  return std::string(resourceType) + "?identifier=" + escaped(system) + "%7C" +
         escaped(value);
}
