// orbitrace_bench: how fast the plug-in answers, each figure set against a
// floor measured in the same run, so a slow machine or a slow Wine does not
// read as a slow plug-in. Prints one table; exits 1 if a run could not be
// measured at all, never because a target was missed.
//   orbitrace_bench [--reps N]      (N from 3 to 51, default 7)
#include "bench/bench.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

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

  gMainThread = GetCurrentThreadId();
  std::string error;
  if (!LoadPlugin(DefaultPluginPath(), &gPlugin, &error)) {
    fprintf(stderr, "orbitrace_bench: cannot load the plug-in: %s\n",
            error.c_str());
    return 1;
  }
  HDC screen = GetDC(nullptr);
  printf("screen %dx%d, %d bits per pixel; medians of %d repetitions, of "
         "%d for OK and the open\n",
         GetDeviceCaps(screen, HORZRES), GetDeviceCaps(screen, VERTRES),
         GetDeviceCaps(screen, BITSPIXEL), reps, 3 * reps);
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
