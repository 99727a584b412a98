// The plug-in under faults: a memory error at every resize and every lock
// of every external function, one at a time; a dialog that cannot open; the
// clipboard held by another process. No crash, no hang, the result either
// right or untouched, the host's memory intact, nothing drawn outside the
// dialog.
#include <gtest/gtest.h>
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "resources/orbitrace_res.h"
#include "stand-in-host/clipboard_picture.h"
#include "stand-in-host/dialog_script.h"
#include "stand-in-host/host_memory.h"
#include "stand-in-host/plugin_host.h"
#include "tests/wine/pixels.h"
#include "tests/wine/script_check.h"

namespace {

LoadedPlugin gPlugin;

// One external call and what it gives when nothing goes wrong.
struct Scenario {
  const char *name;
  int32_t id;
  std::string param;
  std::string expected;
  bool opensDialog;
  std::vector<int> clicks; // dialog steps before OK
};

const Scenario kScenarios[] = {
    {"Version", kVersionFunction, "x", "Orbitrace v1.3", false, {}},
    {"Draw",
     kDrawFunction,
     ".35|.40|3|-.20|Right eye",
     ".30|.40|2|-.20",
     true,
     {IDC_HORIZONTAL_DOWN, IDC_LOCATION_UP}},
    {"Draw without steps",
     kDrawFunction,
     "1|0|12|-.95",
     "1|0|12|-.95",
     true,
     {}},
    {"Draw, empty parameter", kDrawFunction, "", "$$002$$", false, {}},
    {"Draw, overlong parameter",
     kDrawFunction,
     std::string(300, '|'),
     "$$002$$",
     false,
     {}},
};

struct Outcome {
  CallOutcome call;
  DialogOutcome dialog;
  RECT dialogRect = {};
  Snapshot during; // the screen while the dialog was up
};

// Makes the scenario's call; the test fails at the caller's line unless the
// dialog showed as `expectDialog` says and every step ran.
Outcome Call(const Scenario &s, bool expectDialog,
             const CallOptions &options = CallOptions(),
             std::vector<DialogStep> after = {},
             const char *file = __builtin_FILE(), int line = __builtin_LINE()) {
  Outcome run;
  DialogScript script;
  script.timeoutMs = 20000;
  script.expectDialog = expectDialog;
  script.steps.push_back(DialogStep::Run([&run](HWND d) {
    GetWindowRect(d, &run.dialogRect);
    run.during = SnapClient(GetDesktopWindow());
  }));
  for (int id : s.clicks)
    script.steps.push_back(DialogStep::Click(id));
  for (DialogStep &step : after)
    script.steps.push_back(std::move(step));
  run.dialog = RunScriptedCall(
      script,
      [&] {
        run.call = CallFunction(gPlugin, s.id, s.param.data(),
                                static_cast<int32_t>(s.param.size()), options);
      },
      file, line);
  return run;
}

Snapshot Screen() { return SnapClient(GetDesktopWindow()); }

// Pixels of the screen that changed outside `except` (empty: anywhere).
int ChangedOutside(const Snapshot &a, const Snapshot &b, const RECT &except) {
  if (a.width != b.width || a.height != b.height)
    return -1;
  int changed = 0;
  for (int y = 0; y < a.height; ++y)
    for (int x = 0; x < a.width; ++x) {
      POINT p = {x, y};
      if (!PtInRect(&except, p) && a.At(x, y) != b.At(x, y))
        ++changed;
    }
  return changed;
}

class FaultsTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() { gPlugin = LoadPluginOrExit(); }
  void SetUp() override { HostReset(); }
};

TEST_F(FaultsTest, EveryResizeAndLockFailingInTurn) {
  for (const Scenario &s : kScenarios) {
    HostReset();
    Snapshot screen = Screen();
    Outcome clean = Call(s, s.opensDialog);
    EXPECT_EQ(s.expected, clean.call.result) << s.name;
    if (s.opensDialog) {
      // The screen probe below must be able to see a dialog at all.
      EXPECT_GT(ChangedOutside(screen, clean.during, RECT{}), 10000) << s.name;
    }
    const HostCallCounts counts = HostCounts();
    EXPECT_GE(counts.resizes, 1) << s.name << " writes its result";
    // The faults are set against a call that went right; the other
    // scenarios are still tried.
    if (clean.call.result != s.expected)
      continue;

    for (int kind = 0; kind < 2; ++kind) {
      const bool resize = kind == 0;
      const int sites = resize ? counts.resizes : counts.locks;
      for (int n = 1; n <= sites; ++n) {
        SCOPED_TRACE(std::string(s.name) + (resize ? ", resize " : ", lock ") +
                     std::to_string(n) + " fails");
        HostReset();
        if (resize)
          HostArmResizeFailure(n);
        else
          HostArmLockFailure(n);
        Snapshot before = Screen();
        // No dialog without the parameter.
        Outcome run = Call(s, s.opensDialog && resize);
        Snapshot after = Screen();

        EXPECT_FALSE(run.call.written) << "got \"" << run.call.result << "\"";
        EXPECT_TRUE(run.call.changedRecordBytes.empty());
        std::string report;
        EXPECT_TRUE(HostCheckIntegrity(&report)) << report;
        HostCallCounts faulty = HostCounts();
        EXPECT_EQ(faulty.locks, faulty.unlocks) << "lock balance";
        EXPECT_EQ(0, ChangedOutside(before, after, run.dialogRect))
            << "pixels drawn outside the dialog";
      }
    }
  }
}

TEST_F(FaultsTest, InstanceWithoutResources) {
  CallOptions options;
  options.instance = GetModuleHandleA(nullptr); // this program has none
  Snapshot before = Screen();
  Outcome run = Call(kScenarios[1], false, options);
  Snapshot after = Screen();
  EXPECT_EQ("$$002$$", run.call.result);
  EXPECT_EQ(0, ChangedOutside(before, after, RECT{}));
  std::string report;
  EXPECT_TRUE(HostCheckIntegrity(&report)) << report;
}

// The other process: this program, started with --hold-clipboard, holds
// the clipboard with a window of its own until the event is set.
const char kHeldEvent[] = "OrbitraceTestClipboardHeld";
const char kReleaseEvent[] = "OrbitraceTestClipboardRelease";

int HoldClipboard() {
  HANDLE held = OpenEventA(EVENT_MODIFY_STATE, FALSE, kHeldEvent);
  HANDLE release = OpenEventA(SYNCHRONIZE, FALSE, kReleaseEvent);
  if (held == nullptr || release == nullptr)
    return 2;
  HWND owner = CreateWindowA("STATIC", "holder", WS_POPUP, 0, 0, 1, 1, nullptr,
                             nullptr, nullptr, nullptr);
  if (!OpenClipboard(owner))
    return 3;
  EmptyClipboard();
  SetEvent(held);
  // Released by the test; the bound only outlives a test that died.
  WaitForSingleObject(release, 10 * 60000);
  CloseClipboard();
  DestroyWindow(owner);
  return 0;
}

TEST_F(FaultsTest, ClipboardHeldByAnotherProcess) {
  HANDLE held = CreateEventA(nullptr, TRUE, FALSE, kHeldEvent);
  HANDLE release = CreateEventA(nullptr, TRUE, FALSE, kReleaseEvent);
  char self[MAX_PATH];
  GetModuleFileNameA(nullptr, self, sizeof self);
  std::string command = std::string("\"") + self + "\" --hold-clipboard";
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  ASSERT_TRUE(CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0,
                             nullptr, nullptr, &si, &pi));
  // Minutes: a process starts slowly on a busy machine.
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(held, 5 * 60000))
      << "the other process did not take the clipboard";

  // Past the retries the user is asked, and closes without storing.
  Outcome run = Call(kScenarios[1], true, CallOptions(),
                     {DialogStep::PostClick(IDC_OK),
                      DialogStep::Answer(IDC_CLOSE_WITHOUT_STORING)});
  SetEvent(release);
  WaitForSingleObject(pi.hProcess, 5 * 60000);
  DWORD exitCode = 1;
  GetExitCodeProcess(pi.hProcess, &exitCode);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  CloseHandle(held);
  CloseHandle(release);

  EXPECT_EQ("$$002$$", run.call.result) << "no values without their picture";
  EXPECT_EQ(0u, exitCode) << "the holding process";
  std::vector<UINT> formats;
  std::string error;
  ASSERT_TRUE(ClipboardFormats(&formats, &error)) << error;
  EXPECT_TRUE(formats.empty()) << "nothing was exported while it was held";
}

} // namespace

int main(int argc, char **argv) {
  if (argc == 2 && strcmp(argv[1], "--hold-clipboard") == 0)
    return HoldClipboard();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
