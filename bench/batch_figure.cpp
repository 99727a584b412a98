// Figure 4: 100 Draw calls in a row, OK pressed as soon as each dialog is
// painted: time of the last ten against the first ten, memory after 1, 10
// and 100 calls, and the live GDI objects.
#include "bench/bench.h"

#include <stdio.h>

#include "tests/wine/gdi_probe.h"

void BatchFigure() {
  // The first call of a process loads what every later one reuses.
  if (!Draw(nullptr).ok)
    Fail("warm-up Draw call failed");
  const int kCalls = 100;
  std::vector<double> times;
  Memory m0 = ReadMemory(), mem[3];
  int gdi0 = LiveGdiObjects(), gdi[3];
  for (int i = 1; i <= kCalls; ++i) {
    // OK at once, so the time is the plug-in's and not the stand-in
    // runner's polling.
    DrawRun run = Draw(PressOk);
    if (!run.ok)
      Fail("batch figure: " + run.error);
    times.push_back((run.endUs - run.startUs) / 1000);
    int at = i == 1 ? 0 : i == 10 ? 1 : i == 100 ? 2 : -1;
    if (at >= 0) {
      mem[at] = ReadMemory();
      gdi[at] = LiveGdiObjects();
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
  printf("live GDI objects: %d before, %d / %d / %d after 1 / 10 / 100 "
         "calls\n",
         gdi0, gdi[0], gdi[1], gdi[2]);

  // Flat: the last calls cost what the first did, within noise.
  AddRatioRow("4 time per Draw call (calls 91-100 vs 1-10)", Median(last),
              Median(first), "%.1f ms", 1.25);
  double perCallKb = (mem[2].privateKb - mem[0].privateKb) / (kCalls - 1);
  AddRow("4 private memory per Draw call (calls 2-100)",
         Fmt("%.1f KB", perCallKb), "0 KB", "< 4 KB", perCallKb < 4);
  // The probe moves by a few objects with Wine's own caches; one object
  // kept by each call would add a hundred.
  int growth = gdi[2] - gdi0;
  AddRow("4 live GDI objects added by 100 calls", std::to_string(growth), "0",
         "< 10", growth < 10);
}
