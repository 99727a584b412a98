#include "bench/bench.h"

#include <psapi.h>

#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <thread>

#include "resources/orbitrace_res.h"
#include "stand-in-host/dialog_script.h"
#include "stand-in-host/host_memory.h"

LoadedPlugin gPlugin;
DWORD gMainThread;

namespace {

const char kParam[] = ".35|.40|3|-.20|Right eye";
const DWORD kSettleTimeoutMs = 10000;

double TicksPerUs() {
  static const double ticks = [] {
    LARGE_INTEGER freq;
    QueryPerformanceFrequency(&freq);
    return double(freq.QuadPart) / 1e6;
  }();
  return ticks;
}

struct Row {
  std::string figure, measured, floor, ratio, target, verdict;
};
std::vector<Row> gRows;

} // namespace

double NowUs() {
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return double(t.QuadPart) / TicksPerUs();
}

double Median(std::vector<double> v) {
  if (v.empty())
    return 0;
  std::sort(v.begin(), v.end());
  size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

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

void Fail(const std::string &what) {
  fprintf(stderr, "orbitrace_bench: %s\n", what.c_str());
  fflush(stdout);
  ExitProcess(1);
}

HWND WaitForMainDialog(const std::atomic<bool> &ended, double *paintedAtUs) {
  LONGLONG settledAt = 0;
  HWND dialog = WaitForPaintedDialog(
      gMainThread, kSettleTimeoutMs, [&] { return ended.load(); }, &settledAt);
  if (dialog)
    *paintedAtUs = double(settledAt) / TicksPerUs();
  return dialog;
}

void PressOk(HWND dialog) {
  SendMessageA(
      dialog, WM_COMMAND, MAKEWPARAM(IDC_OK, BN_CLICKED),
      reinterpret_cast<LPARAM>(FindDialogControl(dialog, IDC_OK, "Button")));
}

DrawRun Draw(const std::function<void(HWND)> &work) {
  DrawRun run;
  std::atomic<bool> ended{false};
  HWND seen = nullptr;
  std::thread watcher([&] {
    seen = WaitForMainDialog(ended, &run.paintedUs);
    if (seen && work)
      work(seen);
    // Work that leaves the dialog open has it ended here, as a person would.
    if (seen && !ended && IsWindowVisible(seen))
      PressOk(seen);
  });

  // The watcher drives the dialog and times it; the script is only the net
  // that presses OK if the dialog is left open, so it has no steps of its
  // own that a quick OK could leave out. The step figure's 7,770 steps of
  // the default repetitions take about 45 s on a slower machine, twice that
  // when it is busy, so the net is wide: it is there for a dialog that hangs.
  DialogScript script;
  script.timeoutMs = 300000;
  script.okAfterSteps = false;
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
  else if (outcome.timedOut)
    run.error = "the dialog was left open until the time-out";
  else if (run.result.find('|') == std::string::npos)
    run.error = "the Draw call returned \"" + run.result + "\"";
  run.ok = run.error.empty();
  return run;
}

const int kCombos[4] = {IDC_VERTICAL, IDC_HORIZONTAL, IDC_RIM, IDC_LOCATION};

void PumpMessages() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

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

void AddRow(const std::string &figure, const std::string &measured,
            const std::string &floor, const std::string &target, bool met) {
  gRows.push_back(
      {figure, measured, floor, "-", target, met ? "met" : "MISSED"});
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
