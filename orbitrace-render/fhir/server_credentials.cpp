#include "orbitrace-render/fhir/server_credentials.h"

#include <errno.h>
#include <stdlib.h>
#include <string.h>

#include <fstream>

const char kTokenVariable[] = "ORBITRACE_FHIR_TOKEN";
const char kUserVariable[] = "ORBITRACE_FHIR_USER";
const char kPasswordVariable[] = "ORBITRACE_FHIR_PASSWORD";

namespace {

std::string Variable(const char *name) {
  const char *value = getenv(name);
  return value ? value : "";
}

// Without the blanks and the line end around it.
std::string Stripped(const std::string &text) {
  const size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos)
    return "";
  return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

} // namespace

bool ReadCredentials(const std::string &file, ServerCredentials *credentials,
                     std::string *error) {
  *credentials = ServerCredentials();
  if (file.empty()) {
    credentials->bearer = Variable(kTokenVariable);
    credentials->user = Variable(kUserVariable);
    credentials->password = Variable(kPasswordVariable);
    return true;
  }
  std::ifstream in(file);
  std::string line;
  if (!in || !std::getline(in, line)) {
    *error = "cannot read the credentials in \"" + file + "\"" +
             (errno ? std::string(": ") + strerror(errno) : "");
    return false;
  }
  line = Stripped(line);
  const size_t space = line.find(' ');
  const std::string scheme = line.substr(0, space);
  const std::string secret =
      space == std::string::npos ? "" : Stripped(line.substr(space));
  const size_t colon = secret.find(':');
  if (strcasecmp(scheme.c_str(), "Bearer") == 0 && !secret.empty()) {
    credentials->bearer = secret;
    return true;
  }
  if (strcasecmp(scheme.c_str(), "Basic") == 0 && colon != std::string::npos &&
      colon > 0) {
    credentials->user = secret.substr(0, colon);
    credentials->password = secret.substr(colon + 1);
    return true;
  }
  *error = "\"" + file +
           "\" does not start with \"Bearer TOKEN\" or \"Basic "
           "USER:PASSWORD\"";
  return false;
}
