// Who the run is to a FHIR server: a bearer token or a user and password,
// from the environment or a file, never from the command line (which other
// users of the machine can read) and never printed.
#pragma once

#include <string>

struct ServerCredentials {
  std::string bearer;         // "Authorization: Bearer …" when not empty
  std::string user, password; // HTTP basic when `user` is not empty
};

// The names of the environment's variables that hold them.
extern const char kTokenVariable[];    // ORBITRACE_FHIR_TOKEN
extern const char kUserVariable[];     // ORBITRACE_FHIR_USER
extern const char kPasswordVariable[]; // ORBITRACE_FHIR_PASSWORD

// From `file` when not empty (its first line "Bearer TOKEN" or "Basic
// USER:PASSWORD"), else from the environment; none is no credentials.
// False, with the reason in `error` (never the secret), when the file
// cannot be read or says neither.
bool ReadCredentials(const std::string &file, ServerCredentials *credentials,
                     std::string *error);
