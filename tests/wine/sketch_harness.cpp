#include "tests/wine/sketch_harness.h"

#include "host/entry_win.h"
#include "stand-in-host/host_memory.h"
#include "tests/wine/script_check.h"

SketchRun RunSketch(const std::string &param, std::vector<DialogStep> steps,
                    const char *file, int line) {
  // The plug-in's code and resources are part of this program.
  LoadedPlugin self;
  self.module = GetModuleHandleA(nullptr);
  self.entry = FMExternCallProc;
  SketchRun out;
  DialogScript script;
  script.steps = std::move(steps);
  script.timeoutMs = 30000;
  out.dialog = RunScriptedCall(
      script, [&] { out.call = CallFunction(self, kDrawFunction, param); },
      file, line);
  return out;
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
