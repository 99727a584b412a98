#include "orbitrace-render/fhir/http_client.h"

#include <curl/curl.h>
#include <strings.h>

namespace {

size_t Collect(char *data, size_t size, size_t count, void *to) {
  static_cast<std::string *>(to)->append(data, size * count);
  return size * count;
}

size_t Header(char *data, size_t size, size_t count, void *to) {
  const std::string line(data, size * count);
  const char name[] = "retry-after:";
  if (strncasecmp(line.c_str(), name, sizeof name - 1) == 0) {
    std::string value = line.substr(sizeof name - 1);
    const size_t first = value.find_first_not_of(" \t");
    const size_t last = value.find_last_not_of(" \t\r\n");
    *static_cast<std::string *>(to) =
        first == std::string::npos ? "" : value.substr(first, last - first + 1);
  }
  return size * count;
}

} // namespace

HttpClient::HttpClient(const ServerCredentials &credentials)
    : curl_(nullptr), credentials_(credentials) {
  curl_global_init(CURL_GLOBAL_DEFAULT);
  curl_ = curl_easy_init();
}

HttpClient::~HttpClient() {
  curl_easy_cleanup(static_cast<CURL *>(curl_));
  curl_global_cleanup();
}

HttpResponse HttpClient::Send(const char *method, const std::string &url,
                              const std::string &body) {
  HttpResponse response;
  CURL *curl = static_cast<CURL *>(curl_);
  if (!curl) {
    response.error = "libcurl cannot start";
    return response;
  }
  curl_easy_reset(curl);
  char reason[CURL_ERROR_SIZE] = "";
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, reason);
  curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, method);
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  // Only the server's own protocols, and never a redirect that would carry
  // the credentials elsewhere.
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
  curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
  // A net against a server that hangs which counts progress: a slow
  // transfer that still moves is never cut.
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, 30L);
  curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, 300L);
  curl_slist *headers = nullptr;
  headers = curl_slist_append(headers, "Accept: application/fhir+json");
  std::string authorization;
  if (!credentials_.bearer.empty()) {
    authorization = "Authorization: Bearer " + credentials_.bearer;
    headers = curl_slist_append(headers, authorization.c_str());
  } else if (!credentials_.user.empty()) {
    curl_easy_setopt(curl, CURLOPT_HTTPAUTH, CURLAUTH_BASIC);
    curl_easy_setopt(curl, CURLOPT_USERNAME, credentials_.user.c_str());
    curl_easy_setopt(curl, CURLOPT_PASSWORD, credentials_.password.c_str());
  }
  if (!body.empty()) {
    headers = curl_slist_append(headers, "Content-Type: application/fhir+json");
    // No wait for "100 Continue": the server takes the Bundle or says why.
    headers = curl_slist_append(headers, "Expect:");
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body.data());
    curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE,
                     static_cast<curl_off_t>(body.size()));
  }
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, Collect);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &response.body);
  curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, Header);
  curl_easy_setopt(curl, CURLOPT_HEADERDATA, &response.retryAfter);
  const CURLcode code = curl_easy_perform(curl);
  if (code == CURLE_OK)
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &response.status);
  else
    response.error = reason[0] ? reason : curl_easy_strerror(code);
  curl_slist_free_all(headers);
  // The header held the token: not left in memory that is let go.
  authorization.assign(authorization.size(), '\0');
  return response;
}
