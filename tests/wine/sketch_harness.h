// Runs Draw calls against the plug-in's code linked into the test program,
// so a test can drive the real dialog and also look at the sketch state.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "stand-in-host/dialog_script.h"
#include "stand-in-host/plugin_host.h"

struct SketchRun {
  CallOutcome call;
  DialogOutcome dialog;
};

// A Draw call with `param`, the steps applied once the dialog is up and OK
// pressed after them (unless a step ended the dialog). The test fails, at
// the caller's line, unless the dialog appeared and every step ran.
SketchRun RunSketch(const std::string &param, std::vector<DialogStep> steps,
                    const char *file = __builtin_FILE(),
                    int line = __builtin_LINE());

std::string ControlText(HWND dialog, int id);
std::vector<std::string> ComboItems(HWND dialog, int id);

// Waits until the dialog has handled everything sent or posted so far.
void SyncWithDialog(HWND dialog);
