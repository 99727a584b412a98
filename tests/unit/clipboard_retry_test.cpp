#include "export/clipboard_retry.h"

#include <gtest/gtest.h>

namespace {

TEST(RetryClipboard, CountsTriesAsWellAsTime) {
  const struct {
    const char *what;
    uint32_t tries, start, now;
    bool again;
  } cases[] = {
      {"first failure", 1, 1000, 1000, true},
      {"within the time", 12, 1000, 1099, true},
      {"time and tries used up", 10, 1000, 1100, false},
      {"long past, enough tries", 30, 1000, 5000, false},
      // A 55 ms tick: two steps of the counter after one wait.
      {"two 55 ms ticks, one try", 1, 1000, 1110, true},
      {"two 55 ms ticks, nine tries", 9, 1000, 1110, true},
      {"one slow try", 1, 1000, 2000, false},
      {"across the counter's wrap, within the time", 12, 0xFFFFFFF0u, 0x20,
       true},
      {"across the counter's wrap, past it", 12, 0xFFFFFFF0u, 0x60, false},
  };
  for (const auto &c : cases)
    EXPECT_EQ(c.again, RetryClipboard(c.tries, c.start, c.now)) << c.what;
}

} // namespace
