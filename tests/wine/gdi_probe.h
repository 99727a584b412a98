// Counts the process's live GDI objects where GetGuiResources cannot (it is
// a stub in Wine).
#pragma once

#include <windows.h>

#include <stdint.h>

#include <vector>

// Wine gives a new object the most recently freed slot of its handle table,
// else the next never-used one. Taking more probe pens than there can be
// free slots uses up every free slot and then runs into never-used ones, so
// the highest slot the probes reach, less their number, is the number of
// slots held by other objects. A single probe's handle would depend on the
// order in which the workload freed its objects, not only on their number.
inline int LiveGdiObjects() {
  const int kProbes = 4096;
  std::vector<HPEN> pens(kProbes);
  int top = 0;
  for (HPEN &pen : pens) {
    pen = CreatePen(PS_SOLID, 1, RGB(1, 2, 3));
    int slot = LOWORD(reinterpret_cast<uintptr_t>(pen));
    if (slot > top)
      top = slot;
  }
  for (HPEN pen : pens)
    DeleteObject(pen);
  return top + 1 - kProbes;
}

// The live GDI objects once the count holds still: on a palette display
// Wine's clipboard makes and frees objects of this process after the call
// that caused them (formats synthesized for other readers), so a count taken
// at once may be a few objects off either way. Counted again, with this
// thread's messages dispatched between, until two counts 50 ms apart agree
// (2 s at most); a leak never settles back.
inline int SettledGdiObjects() {
  int last = LiveGdiObjects();
  for (int i = 0; i < 40; ++i) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
      DispatchMessageA(&msg);
    Sleep(50);
    const int now = LiveGdiObjects();
    if (now == last)
      return now;
    last = now;
  }
  return last;
}
