// What the benchmark's figures share: the clock, the loaded plug-in, one
// timed Draw call, the floor dialogs' helpers and the table of figures.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "stand-in-host/plugin_host.h"

extern LoadedPlugin gPlugin;
extern DWORD gMainThread; // the thread that makes the Draw calls

double NowUs();
double Median(std::vector<double> v);

struct Memory {
  double privateKb = 0, workingSetKb = 0;
};
Memory ReadMemory();

// Prints why and ends the process: a figure that cannot be measured.
[[noreturn]] void Fail(const std::string &what);

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
DrawRun Draw(const std::function<void(HWND)> &work);

// Waits until a dialog of the main thread is painted (see
// WaitForPaintedDialog); null once `ended` turns true or after 10 s.
HWND WaitForMainDialog(const std::atomic<bool> &ended, double *paintedAtUs);

// Sends OK to the dialog as its button would.
void PressOk(HWND dialog);

// --- Floors ----------------------------------------------------------------

// The combo boxes in the order the drawing reads them.
extern const int kCombos[4];

void PumpMessages();

// --- The table -------------------------------------------------------------

void AddRatioRow(const std::string &figure, double measured, double floor,
                 const char *unitFormat, double target);
void AddRow(const std::string &figure, const std::string &measured,
            const std::string &floor, const std::string &target, bool met);
void PrintTable();
std::string Fmt(const char *format, double v);

// --- The figures, each in a file of its own ------------------------------

void StepFigure(int reps);       // 1: a step against drawing it by hand
void OkAndOpenFigures(int reps); // 2, 3: OK and the open against floors
void BatchFigure();              // 4: 100 Draw calls in a row
