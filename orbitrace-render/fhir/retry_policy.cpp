#include "orbitrace-render/fhir/retry_policy.h"

#include <stdlib.h>

#include <algorithm>

namespace {

// Retry-After (RFC 9110): delta-seconds, or an HTTP date; -1 for neither.
double AskedWait(const std::string &text, time_t now) {
  if (text.empty())
    return -1;
  char *end = nullptr;
  const long seconds = strtol(text.c_str(), &end, 10);
  if (end != text.c_str() && *end == '\0')
    return seconds < 0 ? -1 : static_cast<double>(seconds);
  struct tm date = {};
  const char *rest = strptime(text.c_str(), "%a, %d %b %Y %H:%M:%S GMT", &date);
  if (!rest || *rest)
    return -1;
  return std::max(0.0, difftime(timegm(&date), now));
}

} // namespace

double RetryWait(long status, const std::string &retryAfter, int tried,
                 const RetryRule &rule, time_t now) {
  const bool later = status == 0 || status == 429 || status == 502 ||
                     status == 503 || status == 504;
  if (!later || tried > rule.retries)
    return -1;
  const double asked = AskedWait(retryAfter, now);
  if (asked > rule.longestAsked)
    return -1;
  if (asked >= 0)
    return asked;
  double wait = rule.firstWait;
  for (int i = 1; i < tried && wait < rule.longestWait; ++i)
    wait *= 2;
  return std::min(wait, rule.longestWait);
}
