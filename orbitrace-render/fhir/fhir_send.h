// The health-record export sent straight to a FHIR server: made as a
// folder of transaction Bundles of the server's size, each posted to its
// base URL, tried again while the server says "later", and checked against
// what the server then holds under the export's identifiers.
#pragma once

#include "orbitrace-render/fhir/fhir_export.h"
#include "orbitrace-render/fhir/retry_policy.h"
#include "orbitrace-render/fhir/server_credentials.h"

#include <functional>
#include <string>

struct SendOptions {
  FhirOptions fhir; // bundleEntries or bundleBytes: the server's size
  std::string url;  // the base, "http(s)://…"
  // For the patients of this export, every Observation and Media of ours
  // that this export does not hold is removed from the server.
  bool replace = false;
  RetryRule retry;
  ServerCredentials credentials;
};

// A Bundle's size when none is given: under the caps of the servers
// documented, but for those that take fewer.
const long kDefaultSendEntries = 100;

// Whether `output` names a server rather than a file.
bool IsServerUrl(const std::string &output);

struct SendResult {
  FhirResult made;     // the export, as --fhir to a folder makes it
  bool sent = false;   // every Bundle taken
  std::string failure; // why not, or why the check failed
  bool checked = false;
  // What the server holds under our identifiers beyond what was sent.
  bool extra = false;
};

// Reads `csv`, sends it, tells the server's counts and the check to
// `status`. `wait` sleeps for the seconds given (the tests' is instant).
SendResult SendFhirExport(std::istream &csv, const std::string &source,
                          const SendOptions &options, Status *status,
                          const std::function<void(double)> &wait);
