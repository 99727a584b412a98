// When a request to a server that failed is tried again: after a lost
// connection or an answer that says "later" (429, 502, 503, 504), a few
// times, waiting longer each time or as long as the server asks.
#pragma once

#include <string>
#include <time.h>

struct RetryRule {
  int retries = 5;         // tries after the first
  double firstWait = 1;    // seconds, doubled for each try after it
  double longestWait = 60; // of our own waits
  // The longest a server's Retry-After is waited for; a longer one ends
  // the run as a refusal does.
  double longestAsked = 300;
};

// The seconds to wait before try `tried` + 1, `tried` tries having failed
// with HTTP `status` (0: no answer, the connection lost or timed out) and
// `retryAfter` the answer's header ("" for none: seconds, or an HTTP date
// read against `now`). Negative when it is not to be tried again.
double RetryWait(long status, const std::string &retryAfter, int tried,
                 const RetryRule &rule, time_t now);
