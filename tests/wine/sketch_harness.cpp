#include "tests/wine/sketch_harness.h"

#include "host/entry.h"
#include "tools/hostkit/host_memory.h"

SketchRun RunSketch(const std::string &param, std::vector<DialogStep> steps) {
  // The plug-in's code and resources are part of this program.
  LoadedPlugin self;
  self.module = GetModuleHandleA(nullptr);
  self.entry = FMExternCallProc;
  SketchRun out;
  DialogScript script;
  script.steps.push_back(DialogStep::Run(WaitUntilPainted));
  for (DialogStep &step : steps)
    script.steps.push_back(std::move(step));
  script.timeoutMs = 30000;
  out.dialog = RunWithDialogScript(script, [&] {
    out.call = CallFunction(self, kDrawFunction, param);
  });
  return out;
}

static BOOL CALLBACK CountInvalidChild(HWND child, LPARAM lParam) {
  *reinterpret_cast<int *>(lParam) += GetUpdateRect(child, nullptr, FALSE) != 0;
  return TRUE;
}

void WaitUntilPainted(HWND dialog) {
  // The dialog shows before its first paint; the modal loop paints when it
  // runs out of other messages.
  for (int i = 0; i < 500; ++i) {
    int invalid = GetUpdateRect(dialog, nullptr, FALSE) != 0;
    EnumChildWindows(dialog, CountInvalidChild, reinterpret_cast<LPARAM>(&invalid));
    if (invalid == 0)
      break;
    Sleep(10);
  }
  SyncWithDialog(dialog);
}

std::string ControlText(HWND dialog, int id) {
  char text[256] = "";
  GetWindowTextA(GetDlgItem(dialog, id), text, sizeof text);
  return text;
}

std::vector<std::string> ComboItems(HWND dialog, int id) {
  std::vector<std::string> items;
  HWND combo = GetDlgItem(dialog, id);
  LRESULT count = SendMessageA(combo, CB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    char text[256] = "";
    if (SendMessageA(combo, CB_GETLBTEXTLEN, i, 0) < LRESULT(sizeof text))
      SendMessageA(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
    items.push_back(text);
  }
  return items;
}

void SyncWithDialog(HWND dialog) {
  // Sent messages overtake posted ones, so give the dialog's loop a moment
  // to take what was posted before asking it to answer.
  for (int i = 0; i < 3; ++i) {
    Sleep(30);
    SendMessageA(dialog, WM_NULL, 0, 0);
  }
}
