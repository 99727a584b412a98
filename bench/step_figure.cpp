// Figure 1: a step, a round trip of WM_COMMAND with a step button from a
// second thread, against the same drawing done by hand on that thread in a
// copy of the dialog.
#include "bench/bench.h"

#include <stdio.h>
#include <stdlib.h>

#include "render/number_text.h"
#include "resources/orbitrace_res.h"
#include "stand-in-host/dialog_script.h"

namespace {

INT_PTR CALLBACK PlainDialogProc(HWND, UINT msg, WPARAM, LPARAM) {
  return msg == WM_INITDIALOG;
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
  int w = int((rc.right - rc.left) * NumberFromText(texts[1]));
  int h = int((rc.bottom - rc.top) * NumberFromText(texts[0]));
  int cx = (rc.left + rc.right) / 2, cy = (rc.top + rc.bottom) / 2;
  FillEllipse(hdc, RGB(255, 255, 0), 1, cx - w / 2, cy - h / 2, cx + w / 2,
              cy + h / 2);
  ReleaseDC(sketch, hdc);
}

// The plug-in's dialog at the bottom of the screen, so that the floor's on
// top overlaps neither's sketch area.
void PlaceAtBottom(HWND dialog) {
  RECT wr;
  GetWindowRect(dialog, &wr);
  SetWindowPos(dialog, nullptr, 0,
               GetSystemMetrics(SM_CYSCREEN) - (wr.bottom - wr.top), 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// The floor's copy of the dialog, showing what the plug-in's shows. Made on
// this thread, so its drawing runs here, interleaved with the steps; the
// main thread is inside the Draw call.
HWND FloorLike(HWND dialog) {
  char buf[4][256];
  const char *texts[4];
  for (int i = 0; i < 4; ++i) {
    buf[i][0] = '\0';
    GetWindowTextA(GetDlgItem(dialog, kCombos[i]), buf[i], sizeof buf[i]);
    texts[i] = buf[i];
  }
  return OpenFloorDialog(texts);
}

const int kSizes[3] = {10, 100, 1000};

struct StepTimes {
  std::vector<double> perStep[3], floor[3]; // per step, by kSizes
  std::vector<double> emptyTrip;            // a bare round trip
};

// Runs of kSizes steps, each against as many drawings by hand.
void TimeSteps(HWND dialog, HWND floorDialog, int reps, StepTimes *times) {
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
      times->perStep[s].push_back((t1 - t0) / kSizes[s]);
      times->floor[s].push_back((t2 - t1) / kSizes[s]);
      PumpMessages();
    }
}

// What the trip between the threads alone costs, for the report.
void TimeEmptyTrips(HWND dialog, int reps, StepTimes *times) {
  for (int r = 0; r < reps; ++r) {
    double t0 = NowUs();
    for (int i = 0; i < 100; ++i)
      SendMessageA(dialog, WM_NULL, 0, 0);
    times->emptyTrip.push_back((NowUs() - t0) / 100);
  }
}

} // namespace

void StepFigure(int reps) {
  StepTimes times;
  bool floorOpened = false;
  std::atomic<bool> never{false};
  DrawRun run = Draw([&](HWND dialog) {
    PlaceAtBottom(dialog);
    double ignored;
    WaitForMainDialog(never, &ignored);
    HWND floorDialog = FloorLike(dialog);
    if (!floorDialog)
      return;
    floorOpened = true;
    TimeSteps(dialog, floorDialog, reps, &times);
    DestroyWindow(floorDialog);
    PumpMessages();
    TimeEmptyTrips(dialog, reps, &times);
  });
  if (!run.ok)
    Fail("step figure: " + run.error);
  if (!floorOpened)
    Fail("cannot open the template as a modeless dialog");

  AddRatioRow("1 step round trip (per step, 100 steps)",
              Median(times.perStep[1]), Median(times.floor[1]), "%.1f us", 1.5);
  printf("step growth, us per step at 10 / 100 / 1000 steps: "
         "%.1f / %.1f / %.1f (floor %.1f / %.1f / %.1f)\n",
         Median(times.perStep[0]), Median(times.perStep[1]),
         Median(times.perStep[2]), Median(times.floor[0]),
         Median(times.floor[1]), Median(times.floor[2]));
  printf("a bare WM_NULL round trip between the threads: %.1f us\n",
         Median(times.emptyTrip));
}
