#include "stand-in-host/dialog_script.h"

#include <stdio.h>
#include <string.h>

#include <atomic>
#include <thread>

DialogStep DialogStep::Click(int id) {
  DialogStep s;
  s.kind = kClick;
  s.id = id;
  return s;
}

DialogStep DialogStep::Select(int id, const std::string &text) {
  DialogStep s;
  s.kind = kSelect;
  s.id = id;
  s.text = text;
  return s;
}

DialogStep DialogStep::Reset() { return Click(IDC_RESET); }

DialogStep DialogStep::Ok() { return Click(IDC_OK); }

DialogStep DialogStep::Char(char c) {
  DialogStep s;
  s.kind = kChar;
  s.ch = c;
  return s;
}

DialogStep DialogStep::Wait(int ms) {
  DialogStep s;
  s.kind = kWait;
  s.ms = ms;
  return s;
}

DialogStep DialogStep::Run(std::function<void(HWND)> fn) {
  DialogStep s;
  s.kind = kRun;
  s.run = std::move(fn);
  return s;
}

DialogStep DialogStep::PostClick(int id) {
  DialogStep s;
  s.kind = kPostClick;
  s.id = id;
  return s;
}

DialogStep DialogStep::Answer(int id) {
  DialogStep s;
  s.kind = kAnswer;
  s.id = id;
  return s;
}

namespace {

const DWORD kPollMs = 10;
// How long one sent step may be answered before the dialog's thread is
// taken as hung: far beyond any step on any machine.
const DWORD kAnswerMs = 10 * 60 * 1000;

struct PromptSearch {
  HWND owner;
  HWND found;
};

BOOL CALLBACK FindPromptProc(HWND hwnd, LPARAM lParam) {
  PromptSearch *search = reinterpret_cast<PromptSearch *>(lParam);
  char cls[16];
  if (hwnd != search->owner && GetWindow(hwnd, GW_OWNER) == search->owner &&
      GetClassNameA(hwnd, cls, sizeof cls) && strcmp(cls, "#32770") == 0 &&
      IsWindowVisible(hwnd)) {
    search->found = hwnd;
    return FALSE;
  }
  return TRUE;
}

struct ControlSearch {
  int id;
  const char *className;
  HWND found;
};

BOOL CALLBACK FindControlProc(HWND hwnd, LPARAM lParam) {
  ControlSearch *search = reinterpret_cast<ControlSearch *>(lParam);
  char cls[64];
  if (GetDlgCtrlID(hwnd) == search->id &&
      GetClassNameA(hwnd, cls, sizeof cls) &&
      lstrcmpiA(cls, search->className) == 0) {
    search->found = hwnd;
    return FALSE;
  }
  return TRUE;
}

BOOL CALLBACK CountInvalid(HWND child, LPARAM lParam) {
  *reinterpret_cast<int *>(lParam) += GetUpdateRect(child, nullptr, FALSE) != 0;
  return TRUE;
}

bool NothingToPaint(HWND dialog) {
  int invalid = GetUpdateRect(dialog, nullptr, FALSE) != 0;
  EnumChildWindows(dialog, CountInvalid, reinterpret_cast<LPARAM>(&invalid));
  return invalid == 0;
}

BOOL CALLBACK FindDialogProc(HWND hwnd, LPARAM lParam) {
  char cls[16];
  if (GetClassNameA(hwnd, cls, sizeof cls) && strcmp(cls, "#32770") == 0 &&
      IsWindowVisible(hwnd)) {
    *reinterpret_cast<HWND *>(lParam) = hwnd;
    return FALSE;
  }
  return TRUE;
}

class Runner {
public:
  Runner(const DialogScript &script, DWORD hostThread)
      : script_(script), hostThread_(hostThread),
        lastProgress_(GetTickCount()) {}

  void MarkCallEnded() { ended_ = true; }
  DialogOutcome Outcome() const { return outcome_; }

  void Run() {
    HWND dialog = AwaitDialog();
    if (!dialog)
      return;
    outcome_.dialogSeen = true;
    Progress();
    if (!script_.expectDialog)
      outcome_.error = "a dialog appeared where none was expected";
    if (script_.waitForPaint) {
      WaitUntilPainted(dialog);
      Progress();
    }

    size_t i = 0;
    for (; i < script_.steps.size() && outcome_.error.empty(); ++i) {
      // EndDialog hides it at once; it is destroyed only later.
      if (ended_ || !IsWindowVisible(dialog))
        break;
      if (Expired())
        break;
      Apply(dialog, script_.steps[i]);
      Progress();
    }
    outcome_.stepsDone = i == script_.steps.size() && outcome_.error.empty();
    if (!outcome_.stepsDone && outcome_.error.empty())
      outcome_.error = "only " + std::to_string(i) + " of " +
                       std::to_string(script_.steps.size()) + " steps ran";

    // A second OK would confirm the dialog twice.
    if (!ended_ && !pressedOk_ && IsWindowVisible(dialog) && !Expired() &&
        (script_.okAfterSteps || !outcome_.error.empty()))
      Press(dialog, IDC_OK);

    while (!ended_ && !Expired())
      Sleep(kPollMs);
    if (!ended_)
      EndAtTimeOut(dialog);
  }

private:
  // The call's dialog, or null when the call ended without one or hung.
  HWND AwaitDialog() {
    HWND dialog = nullptr;
    while (!ended_ && !(dialog = FindThreadDialog(hostThread_))) {
      if (Expired()) {
        Hung("the call did not return within the time-out and showed no "
             "dialog");
        return nullptr;
      }
      Sleep(kPollMs);
    }
    if (!dialog && script_.expectDialog)
      outcome_.error = "no dialog appeared";
    return dialog;
  }

  // OK pressed for a dialog that stalled, and a hang told when even that
  // does not end it within the grace.
  void EndAtTimeOut(HWND dialog) {
    outcome_.timedOut = true;
    if (IsWindow(dialog))
      Press(dialog, IDC_OK);
    const DWORD graceEnd = GetTickCount() + script_.graceMs;
    while (!ended_ && LONG(graceEnd - GetTickCount()) > 0)
      Sleep(kPollMs);
    if (!ended_)
      Hung("the dialog did not end after OK was pressed at the time-out");
  }

  // The net counts from the last progress, not from the start: a run of
  // thousands of steps on a busy machine is slow, not hung.
  void Progress() { lastProgress_ = GetTickCount(); }
  bool Expired() const {
    return GetTickCount() - lastProgress_ >= script_.timeoutMs;
  }

  void Hung(const std::string &what) {
    outcome_.timedOut = true;
    if (script_.onHang) {
      script_.onHang(what);
      return;
    }
    fprintf(stderr, "dialog script: %s\n", what.c_str());
    fflush(stdout);
    fflush(stderr);
    ExitProcess(3);
  }

  // Sends without waiting forever on a dialog thread that no longer pumps.
  // An answer that comes at all is progress, however late.
  void Send(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR answer;
    if (SendMessageTimeoutA(dialog, msg, wParam, lParam, SMTO_NORMAL, kAnswerMs,
                            &answer))
      Progress();
  }

  void Press(HWND dialog, int id) {
    if (id == IDC_OK)
      pressedOk_ = true;
    HWND button = FindDialogControl(dialog, id, "Button");
    if (!button)
      button = GetDlgItem(dialog, id);
    Send(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
         reinterpret_cast<LPARAM>(button));
  }

  // Selects the step's item in its combo box, as a user's choice.
  void Select(HWND dialog, const DialogStep &step) {
    HWND combo = FindDialogControl(dialog, step.id, "ComboBox");
    if (!combo) {
      outcome_.error = "no combo box " + std::to_string(step.id);
      return;
    }
    DWORD_PTR index = DWORD_PTR(CB_ERR);
    SendMessageTimeoutA(combo, CB_FINDSTRINGEXACT, WPARAM(-1),
                        reinterpret_cast<LPARAM>(step.text.c_str()),
                        SMTO_NORMAL, kAnswerMs, &index);
    if (LRESULT(index) == CB_ERR) {
      outcome_.error = "combo box " + std::to_string(step.id) +
                       " has no item \"" + step.text + "\"";
      return;
    }
    Send(combo, CB_SETCURSEL, WPARAM(index), 0);
    // A user's choice also tells the dialog, which CB_SETCURSEL does not.
    Send(dialog, WM_COMMAND, MAKEWPARAM(step.id, CBN_SELCHANGE),
         reinterpret_cast<LPARAM>(combo));
  }

  // The script's own pause, which is not a stall.
  void Wait(int ms) {
    const DWORD end = GetTickCount() + DWORD(ms);
    while (!ended_ && LONG(end - GetTickCount()) > 0) {
      Sleep(kPollMs);
      Progress();
    }
  }

  // Answers the prompt with the button `id`. Under Wine, OpenClipboard while
  // another process holds the clipboard can take seconds (its X11 clipboard
  // sync times out), so the prompt is waited for until the script's
  // time-out.
  void Answer(HWND dialog, int id) {
    HWND prompt = nullptr;
    while (!ended_ && !Expired() && !(prompt = FindPrompt(dialog)))
      Sleep(kPollMs);
    if (!prompt) {
      outcome_.error =
          "no prompt appeared to answer with " + std::to_string(id);
      return;
    }
    HWND button = GetDlgItem(prompt, id);
    Send(prompt, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
         reinterpret_cast<LPARAM>(button));
  }

  void Apply(HWND dialog, const DialogStep &step) {
    switch (step.kind) {
    case DialogStep::kClick:
      Press(dialog, step.id);
      break;
    case DialogStep::kSelect:
      Select(dialog, step);
      break;
    case DialogStep::kChar:
      Send(dialog, WM_CHAR, WPARAM(static_cast<unsigned char>(step.ch)), 0);
      break;
    case DialogStep::kWait:
      Wait(step.ms);
      break;
    case DialogStep::kRun:
      if (step.run)
        step.run(dialog);
      break;
    case DialogStep::kPostClick:
      if (step.id == IDC_OK)
        pressedOk_ = true;
      PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(step.id, BN_CLICKED),
                   reinterpret_cast<LPARAM>(
                       FindDialogControl(dialog, step.id, "Button")));
      break;
    case DialogStep::kAnswer:
      Answer(dialog, step.id);
      break;
    }
  }

  const DialogScript &script_;
  const DWORD hostThread_;
  DWORD lastProgress_;
  std::atomic<bool> ended_{false};
  bool pressedOk_ = false;
  DialogOutcome outcome_;
};

} // namespace

HWND FindThreadDialog(DWORD threadId) {
  HWND dialog = nullptr;
  EnumThreadWindows(threadId, FindDialogProc,
                    reinterpret_cast<LPARAM>(&dialog));
  return dialog;
}

HWND FindPrompt(HWND dialog) {
  PromptSearch search{dialog, nullptr};
  EnumThreadWindows(GetWindowThreadProcessId(dialog, nullptr), FindPromptProc,
                    reinterpret_cast<LPARAM>(&search));
  return search.found;
}

bool IsPainted(HWND dialog) {
  return IsWindowVisible(dialog) && NothingToPaint(dialog);
}

HWND FindDialogControl(HWND dialog, int id, const char *className) {
  ControlSearch search{id, className, nullptr};
  EnumChildWindows(dialog, FindControlProc, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

DialogOutcome RunWithDialogScript(const DialogScript &script,
                                  const std::function<void()> &call) {
  Runner runner(script, GetCurrentThreadId());
  std::thread thread([&runner] { runner.Run(); });
  call();
  runner.MarkCallEnded();
  thread.join();
  return runner.Outcome();
}

// The modal loop paints once it runs out of other messages; until then the
// dialog and its controls hold update regions.
// BeginPaint empties the update region before the drawing, so an empty
// region alone may be a paint still under way: a message sent to the dialog
// is answered only once its thread is back in its loop.
void WaitUntilPainted(HWND dialog) {
  const DWORD start = GetTickCount();
  while (IsWindow(dialog) && GetTickCount() - start < 60000) {
    DWORD_PTR answer;
    if (NothingToPaint(dialog) &&
        SendMessageTimeoutA(dialog, WM_NULL, 0, 0, SMTO_NORMAL, 60000,
                            &answer) &&
        NothingToPaint(dialog))
      return;
    Sleep(10);
  }
}

HWND WaitForPaintedDialog(DWORD threadId, DWORD timeoutMs,
                          const std::function<bool()> &stop,
                          LONGLONG *settledAt) {
  const DWORD deadline = GetTickCount() + timeoutMs;
  LONGLONG firstSeen = 0;
  while (!stop() && LONG(deadline - GetTickCount()) > 0) {
    HWND dialog = FindThreadDialog(threadId);
    if (dialog && IsPainted(dialog)) {
      if (firstSeen != 0) {
        *settledAt = firstSeen;
        return dialog;
      }
      LARGE_INTEGER now;
      QueryPerformanceCounter(&now);
      firstSeen = now.QuadPart;
    } else {
      firstSeen = 0;
    }
    Sleep(1);
  }
  return nullptr;
}
