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
