// Figures 2 and 3: OK, from sending WM_COMMAND IDC_OK until the Draw call has
// returned, and OK's own work, from the dialog procedure's WM_COMMAND IDC_OK
// until EndDialog is called; and the open, from the Draw call's start until
// its dialog is painted. Each against a dialog of the same template, in the
// same run, whose procedure does only what every implementation must: fill
// the lists; on OK capture the capture frame's client area into a bitmap,
// put it on the clipboard as CF_DIB, CF_BITMAP and CF_PALETTE, and end the
// dialog.
#include "bench/bench.h"

#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <thread>

#include "dialog/centring.h"
#include "export/clipboard_open_win.h"
#include "resources/orbitrace_res.h"
#include "sketch/value_lists.h"
#include "stand-in-host/dialog_script.h"

namespace {

// The floor's OK in parts, on the dialog's thread.
struct FloorOk {
  double startUs = 0, capturedUs = 0, placedUs = 0, endingUs = 0;
  bool placed = false;
};
FloorOk gFloorOk;

// The plug-in's OK in parts, on the dialog's thread: when the command
// reached the dialog (a hook on the Draw thread) and when the plug-in
// called EndDialog (its import of EndDialog pointed here for the run).
double gOkCommandUs, gEndDialogUs;

BOOL WINAPI TimedEndDialog(HWND dialog, INT_PTR result) {
  gEndDialogUs = NowUs();
  return EndDialog(dialog, result);
}

LRESULT CALLBACK SeeOkCommand(int code, WPARAM wParam, LPARAM lParam) {
  const CWPSTRUCT *m = reinterpret_cast<const CWPSTRUCT *>(lParam);
  if (code == HC_ACTION && m->message == WM_COMMAND &&
      LOWORD(m->wParam) == IDC_OK && gOkCommandUs == 0)
    gOkCommandUs = NowUs();
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

// Points `module`'s imported `from` at `to`; false if it imports no such
// function.
bool PatchImport(HMODULE module, ULONG_PTR from, ULONG_PTR to) {
  BYTE *base = reinterpret_cast<BYTE *>(module);
  const IMAGE_NT_HEADERS *nt = reinterpret_cast<const IMAGE_NT_HEADERS *>(
      base + reinterpret_cast<const IMAGE_DOS_HEADER *>(base)->e_lfanew);
  const IMAGE_DATA_DIRECTORY &dir =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (dir.VirtualAddress == 0)
    return false;
  for (const IMAGE_IMPORT_DESCRIPTOR *d =
           reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR *>(
               base + dir.VirtualAddress);
       d->Name != 0; ++d)
    for (IMAGE_THUNK_DATA *t =
             reinterpret_cast<IMAGE_THUNK_DATA *>(base + d->FirstThunk);
         t->u1.Function != 0; ++t)
      if (t->u1.Function == from) {
        DWORD old;
        if (!VirtualProtect(&t->u1.Function, sizeof t->u1.Function,
                            PAGE_READWRITE, &old))
          return false;
        t->u1.Function = to;
        VirtualProtect(&t->u1.Function, sizeof t->u1.Function, old, &old);
        return true;
      }
  return false;
}

// The frame's client area less its bottom row, as the plug-in takes it.
HBITMAP CaptureFrame(HWND dialog, int *width, int *height) {
  HWND frame = GetDlgItem(dialog, IDC_CAPTURE_FRAME);
  HDC screen = GetDC(frame);
  RECT rc;
  GetClientRect(frame, &rc);
  *width = rc.right;
  *height = rc.bottom - 1;
  HDC mem = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, *width, *height);
  HGDIOBJ old = SelectObject(mem, bitmap);
  BitBlt(mem, 0, 0, *width, *height, screen, 0, 0, SRCCOPY);
  SelectObject(mem, old);
  DeleteDC(mem);
  ReleaseDC(frame, screen);
  return bitmap;
}

// A packed 24-bit DIB of the bitmap, read once into its block.
HGLOBAL PackedDib(HBITMAP bitmap, int width, int height) {
  const SIZE_T rowBytes = SIZE_T(width * 3 + 3) & ~SIZE_T(3);
  HGLOBAL block =
      GlobalAlloc(GMEM_MOVEABLE, sizeof(BITMAPINFOHEADER) + rowBytes * height);
  if (!block)
    return nullptr;
  BITMAPINFO *bi = static_cast<BITMAPINFO *>(GlobalLock(block));
  ZeroMemory(bi, sizeof bi->bmiHeader);
  bi->bmiHeader.biSize = sizeof bi->bmiHeader;
  bi->bmiHeader.biWidth = width;
  bi->bmiHeader.biHeight = height;
  bi->bmiHeader.biPlanes = 1;
  bi->bmiHeader.biBitCount = 24;
  bi->bmiHeader.biCompression = BI_RGB;
  HDC screen = GetDC(nullptr);
  int rows = GetDIBits(screen, bitmap, 0, UINT(height), &bi->bmiHeader + 1, bi,
                       DIB_RGB_COLORS);
  ReleaseDC(nullptr, screen);
  GlobalUnlock(block);
  if (rows != height) {
    GlobalFree(block);
    return nullptr;
  }
  return block;
}

void FloorOnOk(HWND dialog) {
  gFloorOk = FloorOk();
  gFloorOk.startUs = NowUs();
  int width = 0, height = 0;
  HBITMAP bitmap = CaptureFrame(dialog, &width, &height);
  HGLOBAL dib = bitmap ? PackedDib(bitmap, width, height) : nullptr;
  HPALETTE palette = CopyOfDefaultPalette();
  gFloorOk.capturedUs = NowUs();
  bool dibTaken = false, bitmapTaken = false, paletteTaken = false;
  if (OpenClipboardSoon(dialog)) {
    EmptyClipboard();
    dibTaken = dib && SetClipboardData(CF_DIB, dib);
    bitmapTaken = bitmap && SetClipboardData(CF_BITMAP, bitmap);
    paletteTaken = palette && SetClipboardData(CF_PALETTE, palette);
    CloseClipboard();
  }
  gFloorOk.placed = dibTaken && bitmapTaken && paletteTaken;
  if (dib && !dibTaken)
    GlobalFree(dib);
  if (bitmap && !bitmapTaken)
    DeleteObject(bitmap);
  if (palette && !paletteTaken)
    DeleteObject(palette);
  gFloorOk.placedUs = NowUs();
  EndDialog(dialog, 1);
  gFloorOk.endingUs = NowUs();
}

void Fill(HWND dialog, int id, const char *const *items, int count) {
  HWND combo = GetDlgItem(dialog, id);
  for (int i = 0; i < count; ++i)
    SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(items[i]));
  SendMessageA(combo, CB_SETCURSEL, 0, 0);
}

// Like the plug-in's, it sets no focus of its own, hides the capture frame
// and stands in the middle of the screen, so that the capture reads alike
// and ending it moves the focus and uncovers the desktop alike.
INT_PTR CALLBACK FloorDialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM) {
  if (msg == WM_INITDIALOG) {
    Fill(hwnd, IDC_HORIZONTAL, kRatioItems, kRatioCount);
    Fill(hwnd, IDC_VERTICAL, kRatioItems, kRatioCount);
    Fill(hwnd, IDC_LOCATION, kHourItems, kHourCount);
    Fill(hwnd, IDC_RIM, kRimItems, kRimCount);
    ShowWindow(GetDlgItem(hwnd, IDC_CAPTURE_FRAME), SW_HIDE);
    RECT desktop, dialog;
    GetWindowRect(GetDesktopWindow(), &desktop);
    GetWindowRect(hwnd, &dialog);
    IntPoint at = CentredOrigin(
        IntRect{desktop.left, desktop.top, desktop.right, desktop.bottom},
        IntRect{dialog.left, dialog.top, dialog.right, dialog.bottom});
    SetWindowPos(hwnd, HWND_TOP, at.x, at.y, 0, 0, SWP_NOSIZE);
    return FALSE;
  }
  if (msg == WM_COMMAND && LOWORD(wParam) == IDC_OK) {
    FloorOnOk(hwnd);
    return TRUE;
  }
  return FALSE;
}

struct FloorRun {
  bool ok = false;
  double openToPaintUs = 0, okUs = 0;
  FloorOk parts;
};

// The floor dialog opened modally, OK sent by a watcher once it is painted,
// as the Draw call's is.
FloorRun RunFloorDialog() {
  FloorRun run;
  std::atomic<bool> ended{false};
  double paintedAt = 0, sentAt = 0;
  HWND seen = nullptr;
  std::thread watcher([&] {
    seen = WaitForMainDialog(ended, &paintedAt);
    // Closing it is the only way back for the main thread; if it never
    // painted, close whatever dialog is there.
    HWND target = seen ? seen : FindThreadDialog(gMainThread);
    sentAt = NowUs();
    if (target)
      PressOk(target);
  });
  double start = NowUs();
  INT_PTR r = DialogBoxParamA(gPlugin.module, MAKEINTRESOURCEA(IDD_SKETCH),
                              nullptr, FloorDialogProc, 0);
  double end = NowUs();
  ended = true;
  watcher.join();
  run.ok = r == 1 && seen && gFloorOk.placed;
  run.openToPaintUs = paintedAt - start;
  run.okUs = end - sentAt;
  run.parts = gFloorOk;
  run.parts.endingUs = end; // until DialogBoxParamA has returned
  return run;
}

struct OkSamples {
  std::vector<double> ok, okFloor, okMemory, open, openFloor, okAfterSteps;
  std::vector<double> floorCapture, floorClipboard, floorEnd;
  std::vector<double> okWork, okWorkFloor, okEnd;
};

// One Draw call ended by OK, after a long session of steps when
// `withSteps`, its times and the memory OK added taken.
void SampleOk(bool withSteps, OkSamples *s) {
  double sentAt = 0;
  gOkCommandUs = gEndDialogUs = 0;
  Memory before;
  DrawRun run = Draw([&](HWND dialog) {
    if (withSteps) // the same OK after a long session of steps
      for (int i = 0; i < 1000; ++i)
        SendMessageA(dialog, WM_COMMAND,
                     MAKEWPARAM(i & 1 ? IDC_HORIZONTAL_UP : IDC_HORIZONTAL_DOWN,
                                BN_CLICKED),
                     0);
    before = ReadMemory();
    sentAt = NowUs();
    PressOk(dialog);
  });
  if (!run.ok)
    Fail("OK figure: " + run.error);
  Memory after = ReadMemory();
  if (withSteps) {
    s->okAfterSteps.push_back(run.endUs - sentAt);
    return;
  }
  s->ok.push_back(run.endUs - sentAt);
  if (gOkCommandUs == 0 || gEndDialogUs < gOkCommandUs)
    Fail("OK figure: the plug-in's OK was not seen to its EndDialog");
  s->okWork.push_back(gEndDialogUs - gOkCommandUs);
  s->okEnd.push_back(run.endUs - gEndDialogUs);
  s->okMemory.push_back(after.privateKb - before.privateKb);
  s->open.push_back(run.paintedUs - run.startUs);
}

// The floor's dialog opened and ended by its OK, its times taken.
void SampleFloor(OkSamples *s) {
  FloorRun floor = RunFloorDialog();
  if (!floor.ok)
    Fail("the floor dialog did not open, paint, fill the clipboard and end");
  s->okFloor.push_back(floor.okUs);
  s->openFloor.push_back(floor.openToPaintUs);
  s->floorCapture.push_back(floor.parts.capturedUs - floor.parts.startUs);
  s->floorClipboard.push_back(floor.parts.placedUs - floor.parts.capturedUs);
  s->floorEnd.push_back(floor.parts.endingUs - floor.parts.placedUs);
  s->okWorkFloor.push_back(floor.parts.placedUs - floor.parts.startUs);
}

void ReportOk(const OkSamples &s) {
  AddRatioRow("2 OK until the Draw call returns", Median(s.ok) / 1000,
              Median(s.okFloor) / 1000, "%.2f ms", 1.2);
  AddRatioRow("2 OK's own work, until EndDialog", Median(s.okWork) / 1000,
              Median(s.okWorkFloor) / 1000, "%.2f ms", 1.5);
  AddRatioRow("3 Draw call open to first paint", Median(s.open) / 1000,
              Median(s.openFloor) / 1000, "%.2f ms", 2.0);
  double okKb = Median(s.okMemory);
  AddRow("4 private memory added by OK", Fmt("%.0f KB", okKb), "-", "< 1024 KB",
         okKb < 1024);
  printf("OK growth: %.2f ms with no step before it, %.2f ms after 1000 "
         "steps\n",
         Median(s.ok) / 1000, Median(s.okAfterSteps) / 1000);
  printf("OK at its fastest of %d: %.2f ms, the floor's %.2f ms\n",
         int(s.ok.size()), *std::min_element(s.ok.begin(), s.ok.end()) / 1000,
         *std::min_element(s.okFloor.begin(), s.okFloor.end()) / 1000);
  printf("OK floor in parts: capture and DIB %.2f ms, the three formats on "
         "the clipboard %.2f ms, ending the dialog until DialogBoxParam "
         "returns %.2f ms\n",
         Median(s.floorCapture) / 1000, Median(s.floorClipboard) / 1000,
         Median(s.floorEnd) / 1000);
  printf("OK in parts: its own work until EndDialog %.2f ms, from EndDialog "
         "until the Draw call returns %.2f ms\n",
         Median(s.okWork) / 1000, Median(s.okEnd) / 1000);
}

} // namespace

void OkAndOpenFigures(int reps) {
  const ULONG_PTR endDialog = reinterpret_cast<ULONG_PTR>(
      GetProcAddress(GetModuleHandleA("user32.dll"), "EndDialog"));
  const ULONG_PTR timedEndDialog = reinterpret_cast<ULONG_PTR>(TimedEndDialog);
  if (!PatchImport(gPlugin.module, endDialog, timedEndDialog))
    Fail("OK figure: the plug-in's import of EndDialog was not found");
  HHOOK hook =
      SetWindowsHookExA(WH_CALLWNDPROC, SeeOkCommand, nullptr, gMainThread);
  if (!hook)
    Fail("OK figure: no hook on the Draw thread");
  // A call with its floor takes a tenth of a second, so OK and the open are
  // sampled three times as often as the other figures, which steadies their
  // medians on a shared machine.
  OkSamples samples;
  for (int r = 0; r < reps * 4; ++r) {
    const bool withSteps = r >= reps * 3;
    SampleOk(withSteps, &samples);
    if (!withSteps) // the floor right after, so both see the machine alike
      SampleFloor(&samples);
  }
  UnhookWindowsHookEx(hook);
  PatchImport(gPlugin.module, timedEndDialog, endDialog);
  ReportOk(samples);
}
