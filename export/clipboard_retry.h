// How long OK keeps trying to open a clipboard that another program holds.
#pragma once

#include <stdint.h>

// Clipboard managers, clipboard history and remote-desktop clipboard sync
// hold the clipboard for milliseconds: one failed attempt would lose the
// picture. So OK tries again every kClipboardRetryWaitMs until
// kClipboardRetryMs have passed and kClipboardRetryTries attempts were
// made. The time alone is not enough: it is read from GetTickCount, which
// on Windows 95, 98 and ME moves in steps of 55 ms, so two steps could end
// the retries after a single wait. The tries alone are not either: where
// one attempt itself takes long (under Wine, seconds while another process
// holds the clipboard), the retries end after kClipboardRetryLongestMs
// whatever their number, so that the user is asked soon.
enum : uint32_t {
  kClipboardRetryMs = 100,
  kClipboardRetryWaitMs = 10,
  kClipboardRetryTries = 10,
  kClipboardRetryLongestMs = 1000,
};

// Whether to try again after `tries` failed attempts, the first of them at
// tick `start` and the last at tick `now`; right across the tick counter's
// wrap as well.
bool RetryClipboard(uint32_t tries, uint32_t start, uint32_t now);
