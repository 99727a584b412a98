// A scripted call as a test makes it: the test fails, at the caller's line,
// when the call did not go as its script expected.
#pragma once

#include <gtest/gtest.h>

#include <functional>

#include "stand-in-host/dialog_script.h"

// The default arguments are the caller's file and line (GCC and clang).
inline DialogOutcome RunScriptedCall(const DialogScript &script,
                                     const std::function<void()> &call,
                                     const char *file = __builtin_FILE(),
                                     int line = __builtin_LINE()) {
  DialogOutcome outcome = RunWithDialogScript(script, call);
  if (!outcome.ok())
    ADD_FAILURE_AT(file, line)
        << "the dialog script: " << outcome.error
        << (outcome.timedOut ? " (timed out, OK pressed by the runner)" : "");
  return outcome;
}
