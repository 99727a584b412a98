#include "export/clipboard_retry.h"

bool RetryClipboard(uint32_t tries, uint32_t start, uint32_t now) {
  // Unsigned difference: the counter wraps after 49.7 days.
  const uint32_t elapsed = now - start;
  return elapsed < kClipboardRetryMs ||
         (tries < kClipboardRetryTries && elapsed < kClipboardRetryLongestMs);
}
