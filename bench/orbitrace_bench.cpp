// orbitrace_bench: how fast the plug-in answers, each figure set against a
// floor measured in the same run, so a slow machine or a slow Wine does not
// read as a slow plug-in. Prints one table; exits 1 if a run could not be
// measured at all, never because a target was missed.
//   orbitrace_bench [--reps N]      (N from 3 to 51, default 7)
#include <windows.h>

#include <psapi.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "resources/orbitrace_res.h"
#include "stand-in-host/dialog_script.h"
#include "stand-in-host/host_memory.h"
#include "stand-in-host/plugin_host.h"

namespace {

const char kParam[] = ".35|.40|3|-.20|Right eye";
const DWORD kSettleTimeoutMs = 10000;

LoadedPlugin gPlugin;
DWORD gMainThread;
double gTicksPerUs;

double NowUs() {
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return double(t.QuadPart) / gTicksPerUs;
}

double Median(std::vector<double> v) {
  if (v.empty())
    return 0;
  std::sort(v.begin(), v.end());
  size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

struct Memory {
  double privateKb = 0, workingSetKb = 0;
};

Memory ReadMemory() {
  PROCESS_MEMORY_COUNTERS_EX pmc;
  ZeroMemory(&pmc, sizeof pmc);
  Memory m;
  if (GetProcessMemoryInfo(GetCurrentProcess(),
                           reinterpret_cast<PROCESS_MEMORY_COUNTERS *>(&pmc),
                           sizeof pmc)) {
    // Some Wine versions leave PrivateUsage at zero; the commit charge is
    // the same figure there.
    SIZE_T priv = pmc.PrivateUsage ? pmc.PrivateUsage : pmc.PagefileUsage;
    m.privateKb = priv / 1024.0;
    m.workingSetKb = pmc.WorkingSetSize / 1024.0;
  }
  return m;
}

// The slot of a fresh pen: with nothing leaked since the last probe the
// freed slot is handed out again, so its low 16 bits repeat.
unsigned PenSlot() {
  HPEN pen = CreatePen(PS_SOLID, 1, RGB(0, 0, 0));
  unsigned slot = unsigned(reinterpret_cast<UINT_PTR>(pen) & 0xFFFF);
  DeleteObject(pen);
  return slot;
}

// The highest slot among many fresh pens. Freed slots are reused before new
// ones, so once the pens outnumber the free slots this moves only with the
// number of live GDI objects, whatever order they were freed in: one more
// live object, one slot higher.
unsigned HighestPenSlot() {
  const int kPens = 4000;
  std::vector<HPEN> pens;
  unsigned highest = 0;
  for (int i = 0; i < kPens; ++i) {
    HPEN pen = CreatePen(PS_SOLID, 1, RGB(0, 0, 0));
    if (!pen)
      break;
    pens.push_back(pen);
    highest =
        std::max(highest, unsigned(reinterpret_cast<UINT_PTR>(pen) & 0xFFFF));
  }
  for (HPEN pen : pens)
    DeleteObject(pen);
  return highest;
}

// --- Waiting for a dialog of the main thread to be painted ---------------

BOOL CALLBACK FindVisibleDialog(HWND hwnd, LPARAM lParam) {
  char cls[16];
  if (IsWindowVisible(hwnd) && GetClassNameA(hwnd, cls, sizeof cls) &&
      strcmp(cls, "#32770") == 0) {
    *reinterpret_cast<HWND *>(lParam) = hwnd;
    return FALSE;
  }
  return TRUE;
}

BOOL CALLBACK FindUnpaintedChild(HWND hwnd, LPARAM lParam) {
  if (GetUpdateRect(hwnd, nullptr, FALSE)) {
    *reinterpret_cast<bool *>(lParam) = true;
    return FALSE;
  }
  return TRUE;
}

bool Painted(HWND dialog) {
  if (!IsWindowVisible(dialog) || GetUpdateRect(dialog, nullptr, FALSE))
    return false;
  bool unpainted = false;
  EnumChildWindows(dialog, FindUnpaintedChild,
                   reinterpret_cast<LPARAM>(&unpainted));
  return !unpainted;
}

// Polls until a dialog of the main thread is visible with nothing left to
// paint, seen twice in a row so a paint that invalidates again is waited
// for. Returns the dialog and the time it was first seen settled, or null
// when `ended` turns true or the wait runs out.
HWND WaitForPaintedDialog(const std::atomic<bool> &ended, double *paintedAt) {
  const DWORD deadline = GetTickCount() + kSettleTimeoutMs;
  double firstSettled = 0;
  while (!ended && LONG(deadline - GetTickCount()) > 0) {
    HWND dialog = nullptr;
    EnumThreadWindows(gMainThread, FindVisibleDialog,
                      reinterpret_cast<LPARAM>(&dialog));
    if (dialog && Painted(dialog)) {
      double t = NowUs();
      if (firstSettled != 0) {
        *paintedAt = firstSettled;
        return dialog;
      }
      firstSettled = t;
    } else {
      firstSettled = 0;
    }
    Sleep(1);
  }
  return nullptr;
}

// --- One Draw call, with the work done by a watcher thread ---------------

struct DrawRun {
  bool ok = false;
  std::string error;
  double startUs = 0, paintedUs = 0, endUs = 0;
  std::string result;
};

// Makes one Draw call. A watcher waits for the first paint and then runs
// `work` with the dialog; the stand-in host's runner stays behind it and
// presses OK if the work did not, and ends a hung run.
DrawRun Draw(const std::function<void(HWND)> &work) {
  DrawRun run;
  std::atomic<bool> ended{false}, watcherDone{false};
  HWND seen = nullptr;
  std::thread watcher([&] {
    seen = WaitForPaintedDialog(ended, &run.paintedUs);
    if (seen && work)
      work(seen);
    watcherDone = true;
  });

  DialogScript script;
  script.timeoutMs = 60000;
  script.steps.push_back(DialogStep::Run([&](HWND) {
    while (!watcherDone && !ended)
      Sleep(1);
  }));
  HostReset();
  DialogOutcome outcome = RunWithDialogScript(script, [&] {
    run.startUs = NowUs();
    CallOutcome call =
        CallFunction(gPlugin, 2, kParam, int32_t(sizeof kParam - 1));
    run.endUs = NowUs();
    run.result = call.result;
    ended = true;
  });
  watcher.join();
  if (!seen)
    run.error = "the sketch dialog was not seen painted";
  else if (!outcome.ok())
    run.error = "the dialog script failed: " + outcome.error;
  else if (run.result.find('|') == std::string::npos)
    run.error = "the Draw call returned \"" + run.result + "\"";
  run.ok = run.error.empty();
  return run;
}

void Fail(const std::string &what) {
  fprintf(stderr, "orbitrace_bench: %s\n", what.c_str());
  fflush(stdout);
  ExitProcess(1);
}

// --- The floors -----------------------------------------------------------

INT_PTR CALLBACK PlainDialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM) {
  if (msg == WM_INITDIALOG)
    return TRUE;
  if (msg == WM_COMMAND && (LOWORD(wParam) == IDC_OK || LOWORD(wParam) == 2)) {
    EndDialog(hwnd, 1);
    return TRUE;
  }
  return FALSE;
}

// The same template with a procedure that does nothing: opened modally,
// timed to its first paint, closed by the watcher.
bool OpenEmptyDialog(double *openToPaintUs, double *closeUs) {
  std::atomic<bool> ended{false};
  double paintedAt = 0, sentAt = 0;
  HWND seen = nullptr;
  std::thread watcher([&] {
    seen = WaitForPaintedDialog(ended, &paintedAt);
    // Closing it is the only way back for the main thread; if it never
    // painted, close whatever dialog is there.
    HWND target = seen;
    if (!target)
      EnumThreadWindows(gMainThread, FindVisibleDialog,
                        reinterpret_cast<LPARAM>(&target));
    sentAt = NowUs();
    if (target)
      SendMessageA(target, WM_COMMAND, MAKEWPARAM(IDC_OK, BN_CLICKED), 0);
  });
  double start = NowUs();
  INT_PTR r = DialogBoxParamA(gPlugin.module, MAKEINTRESOURCEA(IDD_SKETCH),
                              nullptr, PlainDialogProc, 0);
  double end = NowUs();
  ended = true;
  watcher.join();
  *openToPaintUs = paintedAt - start;
  *closeUs = end - sentAt;
  return r == 1 && seen;
}

const int kCombos[4] = {IDC_VERTICAL, IDC_HORIZONTAL, IDC_RIM, IDC_LOCATION};

void PumpMessages() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

// A modeless copy of the sketch dialog whose combo boxes show the texts
// the plug-in's dialog shows, for drawing by hand on this thread.
HWND OpenFloorDialog(const char *const texts[4]) {
  HWND dialog = CreateDialogParamA(gPlugin.module, MAKEINTRESOURCEA(IDD_SKETCH),
                                   nullptr, PlainDialogProc, 0);
  if (!dialog)
    return nullptr;
  for (int i = 0; i < 4; ++i) {
    HWND combo = GetDlgItem(dialog, kCombos[i]);
    SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(texts[i]));
    SendMessageA(combo, CB_SETCURSEL, 0, 0);
  }
  // The plug-in hides the capture frame, which would clip the sketch area.
  ShowWindow(GetDlgItem(dialog, IDC_CAPTURE_FRAME), SW_HIDE);
  SetWindowPos(dialog, nullptr, 0, 0, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  ShowWindow(dialog, SW_SHOWNOACTIVATE);
  UpdateWindow(dialog);
  PumpMessages();
  return dialog;
}

void SelectEllipseClipPath(HDC hdc, int l, int t, int r, int b) {
  BeginPath(hdc);
  Ellipse(hdc, l, t, r, b);
  EndPath(hdc);
  SelectClipPath(hdc, RGN_COPY);
}

// An ellipse outlined and filled in one colour, the DC's objects restored.
void FillEllipse(HDC hdc, COLORREF colour, int penWidth, int l, int t, int r,
                 int b) {
  HPEN pen = CreatePen(PS_SOLID, penWidth, colour);
  HBRUSH brush = CreateSolidBrush(colour);
  HGDIOBJ oldPen = SelectObject(hdc, pen);
  HGDIOBJ oldBrush = SelectObject(hdc, brush);
  Ellipse(hdc, l, t, r, b);
  SelectObject(hdc, oldPen);
  DeleteObject(pen);
  SelectObject(hdc, oldBrush);
  DeleteObject(brush);
}

// What one step draws, done directly: the disc through an elliptic clip,
// then the cup clipped to an ellipse, with the four values read from the
// combo boxes.
void DrawDiscAndCup(HWND dialog) {
  HWND sketch = GetDlgItem(dialog, IDC_SKETCH_AREA);
  HDC hdc = GetDC(sketch);
  RECT rc;
  GetClientRect(sketch, &rc);

  SelectEllipseClipPath(hdc, rc.left, rc.top, rc.right, rc.bottom);
  FillEllipse(hdc, RGB(230, 87, 26), 2, rc.left + 6, rc.top + 6, rc.right - 6,
              rc.bottom - 6);

  SelectEllipseClipPath(hdc, rc.left + 5, rc.top + 5, rc.right - 5,
                        rc.bottom - 5);
  char texts[4][256];
  for (int i = 0; i < 4; ++i) {
    texts[i][0] = '\0';
    GetWindowTextA(GetDlgItem(dialog, kCombos[i]), texts[i], sizeof texts[i]);
  }
  int w = int((rc.right - rc.left) * atof(texts[1]));
  int h = int((rc.bottom - rc.top) * atof(texts[0]));
  int cx = (rc.left + rc.right) / 2, cy = (rc.top + rc.bottom) / 2;
  FillEllipse(hdc, RGB(255, 255, 0), 1, cx - w / 2, cy - h / 2, cx + w / 2,
              cy + h / 2);
  ReleaseDC(sketch, hdc);
}

// A bare copy of the capture frame's client area off the screen, and its
// pixels read back as a 24-bit DIB.
bool CopyCaptureFrame(HWND dialog) {
  HWND frame = GetDlgItem(dialog, IDC_CAPTURE_FRAME);
  HDC screen = GetDC(frame);
  RECT rc;
  GetClientRect(frame, &rc);
  int w = rc.right - rc.left, h = rc.bottom - rc.top - 1;
  HDC mem = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, w, h);
  HGDIOBJ old = SelectObject(mem, bitmap);
  BOOL copied = BitBlt(mem, 0, 0, w, h, screen, 0, 0, SRCCOPY);
  SelectObject(mem, old);

  BITMAPINFO bi;
  ZeroMemory(&bi, sizeof bi);
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = h;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 24;
  bi.bmiHeader.biCompression = BI_RGB;
  std::vector<unsigned char> bits(size_t((w * 3 + 3) & ~3) * size_t(h));
  int rows =
      GetDIBits(mem, bitmap, 0, UINT(h), bits.data(), &bi, DIB_RGB_COLORS);
  DeleteObject(bitmap);
  DeleteDC(mem);
  ReleaseDC(frame, screen);
  return copied && rows == h;
}

// A 24-bit DIB of the capture frame's size put on the clipboard alone,
// to show what share of OK the clipboard takes.
bool ClipboardAlone(int width, int height) {
  if (!OpenClipboard(nullptr))
    return false;
  EmptyClipboard();
  SIZE_T size =
      sizeof(BITMAPINFOHEADER) + SIZE_T((width * 3 + 3) & ~3) * SIZE_T(height);
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
  bool placed = false;
  if (block) {
    BITMAPINFOHEADER *h = static_cast<BITMAPINFOHEADER *>(GlobalLock(block));
    h->biSize = sizeof *h;
    h->biWidth = width;
    h->biHeight = height;
    h->biPlanes = 1;
    h->biBitCount = 24;
    GlobalUnlock(block);
    placed = SetClipboardData(CF_DIB, block) != nullptr;
    if (!placed)
      GlobalFree(block);
  }
  CloseClipboard();
  return placed;
}

// --- The figures ----------------------------------------------------------

struct Row {
  std::string figure, measured, floor, ratio, target, verdict;
};
std::vector<Row> gRows;
// Whether a pen's slot moves around a dialog that the plug-in never sees:
// then a moved slot says nothing about the plug-in.
bool gControlSlotMoved;

std::string Fmt(const char *format, double v) {
  char buf[64];
  snprintf(buf, sizeof buf, format, v);
  return buf;
}

void AddRatioRow(const std::string &figure, double measured, double floor,
                 const char *unitFormat, double target) {
  double ratio = floor > 0 ? measured / floor : 0;
  gRows.push_back({figure, Fmt(unitFormat, measured), Fmt(unitFormat, floor),
                   Fmt("%.2fx", ratio), Fmt("<= %.2gx", target),
                   ratio > 0 && ratio <= target ? "met" : "MISSED"});
}

void PrintTable() {
  const char *head[6] = {"figure", "measured", "floor",
                         "ratio",  "target",   "verdict"};
  size_t width[6];
  for (int c = 0; c < 6; ++c)
    width[c] = strlen(head[c]);
  auto cell = [](const Row &r, int c) -> const std::string & {
    const std::string *cells[6] = {&r.figure, &r.measured, &r.floor,
                                   &r.ratio,  &r.target,   &r.verdict};
    return *cells[c];
  };
  for (const Row &r : gRows)
    for (int c = 0; c < 6; ++c)
      width[c] = std::max(width[c], cell(r, c).size());
  auto line = [&](const char *const cells[6]) {
    for (int c = 0; c < 6; ++c)
      printf(c ? "  %-*s" : "%-*s", int(width[c]), cells[c]);
    printf("\n");
  };
  line(head);
  for (const Row &r : gRows) {
    const char *cells[6];
    for (int c = 0; c < 6; ++c)
      cells[c] = cell(r, c).c_str();
    line(cells);
  }
}

// 1. Steps: a round trip of WM_COMMAND with a step button against drawing
//    the same by hand on this thread.
void StepFigure(int reps) {
  const int kSizes[3] = {10, 100, 1000};
  std::vector<double> perStep[3], floor[3];
  std::vector<double> emptyTrip;
  bool floorOpened = false;
  std::atomic<bool> never{false};
  DrawRun run = Draw([&](HWND dialog) {
    // The two dialogs side by side, not overlapping, so neither clips the
    // other's sketch area: the plug-in's at the bottom, the floor's on top.
    RECT wr;
    GetWindowRect(dialog, &wr);
    SetWindowPos(dialog, nullptr, 0,
                 GetSystemMetrics(SM_CYSCREEN) - (wr.bottom - wr.top), 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    double ignored;
    WaitForPaintedDialog(never, &ignored);

    char buf[4][256];
    const char *texts[4];
    for (int i = 0; i < 4; ++i) {
      buf[i][0] = '\0';
      GetWindowTextA(GetDlgItem(dialog, kCombos[i]), buf[i], sizeof buf[i]);
      texts[i] = buf[i];
    }
    // Made on this thread, so its drawing runs here, interleaved with the
    // steps; the main thread is inside the Draw call.
    HWND floorDialog = OpenFloorDialog(texts);
    if (!floorDialog)
      return;
    floorOpened = true;

    HWND up = FindDialogControl(dialog, IDC_HORIZONTAL_UP, "Button");
    HWND down = FindDialogControl(dialog, IDC_HORIZONTAL_DOWN, "Button");
    int n = 0;
    auto step = [&] {
      bool isDown = (n++ & 1) == 0;
      SendMessageA(dialog, WM_COMMAND,
                   MAKEWPARAM(isDown ? IDC_HORIZONTAL_DOWN : IDC_HORIZONTAL_UP,
                              BN_CLICKED),
                   reinterpret_cast<LPARAM>(isDown ? down : up));
    };
    for (int i = 0; i < 20; ++i) {
      step();
      DrawDiscAndCup(floorDialog);
    }
    for (int r = 0; r < reps; ++r)
      for (int s = 0; s < 3; ++s) {
        double t0 = NowUs();
        for (int i = 0; i < kSizes[s]; ++i)
          step();
        double t1 = NowUs();
        for (int i = 0; i < kSizes[s]; ++i)
          DrawDiscAndCup(floorDialog);
        double t2 = NowUs();
        perStep[s].push_back((t1 - t0) / kSizes[s]);
        floor[s].push_back((t2 - t1) / kSizes[s]);
        PumpMessages();
      }
    DestroyWindow(floorDialog);
    PumpMessages();
    // What the trip between the threads alone costs, for the report.
    for (int r = 0; r < reps; ++r) {
      double t0 = NowUs();
      for (int i = 0; i < 100; ++i)
        SendMessageA(dialog, WM_NULL, 0, 0);
      emptyTrip.push_back((NowUs() - t0) / 100);
    }
  });
  if (!run.ok)
    Fail("step figure: " + run.error);
  if (!floorOpened)
    Fail("cannot open the template as a modeless dialog");

  AddRatioRow("1 step round trip (per step, 100 steps)", Median(perStep[1]),
              Median(floor[1]), "%.1f us", 1.5);
  printf("step growth, us per step at 10 / 100 / 1000 steps: "
         "%.1f / %.1f / %.1f (floor %.1f / %.1f / %.1f)\n",
         Median(perStep[0]), Median(perStep[1]), Median(perStep[2]),
         Median(floor[0]), Median(floor[1]), Median(floor[2]));
  printf("a bare WM_NULL round trip between the threads: %.1f us\n",
         Median(emptyTrip));
}

// 2. OK: from sending WM_COMMAND 120 until the Draw call has returned,
//    against a bare copy of the capture frame in the same dialog.
//    3. and the open-to-first-paint of the same calls, against the template
//    with a procedure that does nothing.
void OkAndOpenFigures(int reps) {
  std::vector<double> ok, okFloor, okMemory, open, openFloor, okAfterSteps,
      okFloorAfterSteps, emptyClose, clipboard;
  int frameW = 0, frameH = 0;
  for (int r = 0; r < reps * 2; ++r) {
    const bool withSteps = r >= reps;
    double sentAt = 0, floorUs = 0;
    Memory before;
    bool copied = true;
    DrawRun run = Draw([&](HWND dialog) {
      if (withSteps) // the same OK after a long session of steps
        for (int i = 0; i < 1000; ++i)
          SendMessageA(
              dialog, WM_COMMAND,
              MAKEWPARAM(i & 1 ? IDC_HORIZONTAL_UP : IDC_HORIZONTAL_DOWN,
                         BN_CLICKED),
              0);
      std::vector<double> f;
      for (int i = 0; i < 9; ++i) {
        double t0 = NowUs();
        copied = CopyCaptureFrame(dialog) && copied;
        f.push_back(NowUs() - t0);
      }
      floorUs = Median(f);
      RECT rc;
      GetClientRect(GetDlgItem(dialog, IDC_CAPTURE_FRAME), &rc);
      frameW = rc.right;
      frameH = rc.bottom - 1;
      before = ReadMemory();
      sentAt = NowUs();
      SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_OK, BN_CLICKED),
                   reinterpret_cast<LPARAM>(
                       FindDialogControl(dialog, IDC_OK, "Button")));
    });
    if (!run.ok)
      Fail("OK figure: " + run.error);
    if (!copied)
      Fail("the bare copy of the capture frame failed");
    Memory after = ReadMemory();
    if (withSteps) {
      okAfterSteps.push_back(run.endUs - sentAt);
      okFloorAfterSteps.push_back(floorUs);
      continue;
    }
    ok.push_back(run.endUs - sentAt);
    okFloor.push_back(floorUs);
    okMemory.push_back(after.privateKb - before.privateKb);
    open.push_back(run.paintedUs - run.startUs);

    double emptyUs = 0, closeUs = 0;
    if (!OpenEmptyDialog(&emptyUs, &closeUs))
      Fail("the template with a plain procedure did not open and paint");
    openFloor.push_back(emptyUs);
    emptyClose.push_back(closeUs);
    double t0 = NowUs();
    if (ClipboardAlone(frameW, frameH))
      clipboard.push_back(NowUs() - t0);
  }
  AddRatioRow("2 OK until the Draw call returns", Median(ok) / 1000,
              Median(okFloor) / 1000, "%.2f ms", 1.5);
  AddRatioRow("3 Draw call open to first paint", Median(open) / 1000,
              Median(openFloor) / 1000, "%.2f ms", 2.0);
  double okKb = Median(okMemory);
  gRows.push_back({"4 private memory added by OK", Fmt("%.0f KB", okKb), "-",
                   "-", "< 1024 KB", okKb < 1024 ? "met" : "MISSED"});
  printf("OK growth: %.2f ms with no step before it, %.2f ms after 1000 "
         "steps (floor %.2f ms, %.2f ms)\n",
         Median(ok) / 1000, Median(okAfterSteps) / 1000, Median(okFloor) / 1000,
         Median(okFloorAfterSteps) / 1000);
  // Twelve labels in grey, as greying the ring draws them, by hand.
  const char *none[4] = {"", "", "", ""};
  HWND plain = OpenFloorDialog(none);
  std::vector<double> labels;
  unsigned slotBefore = PenSlot(), slotAfter = slotBefore;
  if (plain) {
    HWND sketch = GetDlgItem(plain, IDC_SKETCH_AREA);
    for (int r = 0; r < reps; ++r) {
      double t0 = NowUs();
      HDC hdc = GetDC(sketch);
      COLORREF oldColour = SetTextColor(hdc, RGB(209, 209, 209));
      for (int h = 1; h <= 12; ++h) {
        char text[4];
        snprintf(text, sizeof text, "%d", h);
        TextOutA(hdc, 10 * h, 10 * h, text, int(strlen(text)));
      }
      SetTextColor(hdc, oldColour);
      ReleaseDC(sketch, hdc);
      labels.push_back(NowUs() - t0);
      PumpMessages();
    }
    DestroyWindow(plain);
    PumpMessages();
    slotAfter = PenSlot();
  }
  gControlSlotMoved = slotAfter != slotBefore;
  printf("OK in parts: closing the plain dialog of the template %.2f ms, "
         "a %dx%d DIB put on the clipboard alone %.2f ms, twelve grey labels "
         "%.2f ms\n",
         Median(emptyClose) / 1000, frameW, frameH, Median(clipboard) / 1000,
         Median(labels) / 1000);
  printf("pen slot around a plain dialog opened and destroyed by hand: "
         "0x%04x, then 0x%04x\n",
         slotBefore, slotAfter);
}

// 4. Time and memory per Draw call: the first 10 of 100 calls in a row
//    against the last 10, memory after 1, 10 and 100 calls.
void BatchFigure() {
  // The first call of a process loads what every later one reuses.
  if (!Draw(nullptr).ok)
    Fail("warm-up Draw call failed");
  const int kCalls = 100;
  std::vector<double> times;
  Memory m0 = ReadMemory(), mem[3];
  unsigned slot0 = PenSlot(), high0 = HighestPenSlot();
  unsigned slots[3], highs[3];
  // OK as soon as the dialog is painted, so the time is the plug-in's and
  // not the stand-in runner's polling.
  auto pressOk = [](HWND dialog) {
    SendMessageA(
        dialog, WM_COMMAND, MAKEWPARAM(IDC_OK, BN_CLICKED),
        reinterpret_cast<LPARAM>(FindDialogControl(dialog, IDC_OK, "Button")));
  };
  for (int i = 1; i <= kCalls; ++i) {
    DrawRun run = Draw(pressOk);
    if (!run.ok)
      Fail("batch figure: " + run.error);
    times.push_back((run.endUs - run.startUs) / 1000);
    int at = i == 1 ? 0 : i == 10 ? 1 : i == 100 ? 2 : -1;
    if (at >= 0) {
      mem[at] = ReadMemory();
      slots[at] = PenSlot();
      highs[at] = HighestPenSlot();
    }
  }
  printf("Draw call times, ms:");
  for (double t : times)
    printf(" %.0f", t);
  printf("\n");
  std::vector<double> first(times.begin(), times.begin() + 10);
  std::vector<double> last(times.end() - 10, times.end());
  printf("Draw call growth, ms: call 1 %.1f, median of calls 1-10 %.1f, "
         "1-100 %.1f, 91-100 %.1f\n",
         times[0], Median(first), Median(times), Median(last));
  printf("memory, KB: private %.0f before, %+.0f / %+.0f / %+.0f after 1 / "
         "10 / 100 calls; working set %.0f before, %+.0f / %+.0f / %+.0f\n",
         m0.privateKb, mem[0].privateKb - m0.privateKb,
         mem[1].privateKb - m0.privateKb, mem[2].privateKb - m0.privateKb,
         m0.workingSetKb, mem[0].workingSetKb - m0.workingSetKb,
         mem[1].workingSetKb - m0.workingSetKb,
         mem[2].workingSetKb - m0.workingSetKb);
  printf("GDI: pen slot 0x%04x before, 0x%04x / 0x%04x / 0x%04x after 1 / 10 "
         "/ 100 calls; highest of 4000 pens 0x%04x, 0x%04x / 0x%04x / "
         "0x%04x\n",
         slot0, slots[0], slots[1], slots[2], high0, highs[0], highs[1],
         highs[2]);

  // Flat: the last calls cost what the first did, within noise.
  AddRatioRow("4 time per Draw call (calls 91-100 vs 1-10)", Median(last),
              Median(first), "%.1f ms", 1.25);
  double perCallKb = (mem[2].privateKb - mem[0].privateKb) / (kCalls - 1);
  gRows.push_back({"4 private memory per Draw call (calls 2-100)",
                   Fmt("%.1f KB", perCallKb), "0 KB", "-", "< 4 KB",
                   perCallKb < 4 ? "met" : "MISSED"});
  bool sameSlot = slots[0] == slots[1] && slots[1] == slots[2];
  char slotText[64];
  snprintf(slotText, sizeof slotText, "0x%04x/%04x/%04x", slots[0], slots[1],
           slots[2]);
  gRows.push_back({"4 GDI pen slot after 1 / 10 / 100 calls", slotText, "-",
                   "-", "same",
                   sameSlot            ? "met"
                   : gControlSlotMoved ? "none: moves without the plug-in"
                                       : "MISSED"});
  int liveGrowth = int(highs[2]) - int(highs[0]);
  gRows.push_back({"4 live GDI objects added by calls 2-100",
                   std::to_string(liveGrowth), "0", "-", "<= 0",
                   liveGrowth <= 0 ? "met" : "MISSED"});
}

} // namespace

int main(int argc, char **argv) {
  int reps = 7;
  for (int i = 1; i < argc; ++i) {
    if (strcmp(argv[i], "--reps") == 0 && i + 1 < argc) {
      char *end;
      long n = strtol(argv[++i], &end, 10);
      if (*end || n < 3 || n > 51) {
        fprintf(stderr, "orbitrace_bench: --reps wants 3 to 51, not %s\n",
                argv[i]);
        return 2;
      }
      reps = int(n);
    } else {
      fprintf(stderr, "usage: orbitrace_bench [--reps N]\n");
      return 2;
    }
  }

  LARGE_INTEGER freq;
  QueryPerformanceFrequency(&freq);
  gTicksPerUs = double(freq.QuadPart) / 1e6;
  gMainThread = GetCurrentThreadId();

  std::string error;
  if (!LoadPlugin(DefaultPluginPath(), &gPlugin, &error)) {
    fprintf(stderr, "orbitrace_bench: cannot load the plug-in: %s\n",
            error.c_str());
    return 1;
  }
  HDC screen = GetDC(nullptr);
  printf("screen %dx%d, %d bits per pixel; medians of %d repetitions\n",
         GetDeviceCaps(screen, HORZRES), GetDeviceCaps(screen, VERTRES),
         GetDeviceCaps(screen, BITSPIXEL), reps);
  ReleaseDC(nullptr, screen);

  StepFigure(reps);
  OkAndOpenFigures(reps);
  BatchFigure();
  printf("\n");
  PrintTable();
  fflush(stdout);
  UnloadPlugin(&gPlugin);
  return 0;
}
