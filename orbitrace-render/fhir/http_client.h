// The requests to a FHIR server, through libcurl: TLS verified, the
// credentials in their header, a transfer given up only when it stops
// moving.
#pragma once

#include "orbitrace-render/fhir/server_credentials.h"

#include <string>

struct HttpResponse {
  long status = 0;        // 0: no answer (then `error` says why)
  std::string body;       // the answer's
  std::string retryAfter; // its Retry-After header, "" for none
  std::string error;      // libcurl's reason, never holding a secret
};

class HttpClient {
public:
  explicit HttpClient(const ServerCredentials &credentials);
  ~HttpClient();
  HttpClient(const HttpClient &) = delete;
  HttpClient &operator=(const HttpClient &) = delete;

  // `method` "GET", "POST" or "DELETE"; `body` sent as FHIR JSON when not
  // empty.
  HttpResponse Send(const char *method, const std::string &url,
                    const std::string &body);

private:
  void *curl_; // CURL, kept so connections are used again
  ServerCredentials credentials_;
};
