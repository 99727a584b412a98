// Drives a plug-in's modal dialog from a second thread, so that a run never
// waits for a person and never hangs.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "resources/orbitrace_res.h"

struct DialogStep {
  enum Kind { kClick, kSelect, kChar, kWait, kRun, kPostClick, kAnswer };
  Kind kind = kClick;
  int id = 0;                    // kClick, kSelect, kPostClick, kAnswer
  std::string text;              // kSelect: the item's exact text
  char ch = 0;                   // kChar
  int ms = 0;                    // kWait
  std::function<void(HWND)> run; // kRun: called on the runner thread

  static DialogStep Click(int id);
  static DialogStep Select(int id, const std::string &text);
  static DialogStep Reset(); // the dialog's Reset button
  static DialogStep Ok();    // the dialog's OK button
  static DialogStep Char(char c);
  static DialogStep Wait(int ms);
  static DialogStep Run(std::function<void(HWND)> fn);
  // A click posted, not waited for: its command may open a prompt (OK
  // when the picture cannot be stored), which a later Answer answers.
  static DialogStep PostClick(int id);
  // Presses button `id` of the prompt the dialog shows, waiting until the
  // time-out for it to appear; the run fails if none does.
  static DialogStep Answer(int id);
};

struct DialogScript {
  std::vector<DialogStep> steps;
  // Whether the call is to show a dialog. A run that sees none where one is
  // expected, one where none is, or that does not get through all its
  // steps, reports it as its error: a check run on no dialog passes by
  // accident. Only fault cases that expect no dialog say false.
  bool expectDialog = true;
  // How long the run may go without progress: the dialog appearing, a step
  // applied, the call ending. A step still being answered is progress, so a
  // slow machine stretches a run but never fails it. When it passes, the
  // runner presses OK itself and reports a time-out.
  DWORD timeoutMs = 30000;
  // Before the first step, wait until the dialog has painted, as a person
  // sees it before acting on it.
  bool waitForPaint = true;
  // After the steps, press OK if the dialog is still open.
  bool okAfterSteps = true;
  // How long the call may still take after the runner pressed OK at the
  // time-out before it is given up as hung.
  DWORD graceMs = 5000;
  // Called on the runner thread when the call neither ends by itself nor
  // after OK at the time-out, with a description. The default prints it
  // and ends the process with exit code 3, since the call cannot be
  // returned from.
  std::function<void(const std::string &)> onHang;
};

struct DialogOutcome {
  bool dialogSeen = false;
  bool stepsDone = false; // every step was applied
  bool timedOut = false;  // the runner had to press OK at the time-out
  // What did not go as the script expected: a step that could not be
  // applied, steps left out, a missing or an unexpected dialog.
  std::string error;
  bool ok() const { return !timedOut && error.empty(); }
};

// Runs `call` on this thread while a runner thread waits for a dialog
// ("#32770") of this thread and applies the script to it. Returns when the
// call has returned and the runner has stopped.
DialogOutcome RunWithDialogScript(const DialogScript &script,
                                  const std::function<void()> &call);

// The first child of `dialog` with control ID `id` whose class is
// `className` (case-insensitive), or null. IDs may repeat in a template,
// so GetDlgItem alone can find the wrong control.
HWND FindDialogControl(HWND dialog, int id, const char *className);

// The visible dialog ("#32770") of thread `threadId`, or null. Only once it
// is visible has a dialog finished WM_INITDIALOG.
HWND FindThreadDialog(DWORD threadId);

// Whether the dialog is visible and neither it nor any control has
// anything left to paint.
bool IsPainted(HWND dialog);

// Waits until the dialog and its controls have painted everything that was
// invalid, or until it is closed; a minute at most, against a hung loop.
void WaitUntilPainted(HWND dialog);

// Looks every millisecond for a painted dialog of `threadId`, and takes it
// when it is seen so twice in a row, so that a paint which invalidates again
// is waited for. Returns it, with the QueryPerformanceCounter time of the
// first of the two sightings in `*settledAt`; null once `stop` returns
// true or `timeoutMs` have passed.
HWND WaitForPaintedDialog(DWORD threadId, DWORD timeoutMs,
                          const std::function<bool()> &stop,
                          LONGLONG *settledAt);
