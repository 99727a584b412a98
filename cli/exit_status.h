// The exit statuses of both command lines, orbitrace-render's and the stand-in
// host's. Only the command line chooses them: the work it runs returns what
// happened.
#pragma once

// A visit history's report: 0 whole, 1 made with rows left out, 2 usage,
// 3 no report made.
enum ExitStatus {
  kExitOk = 0,
  kExitFailed = 1,
  kExitUsage = 2,
  kExitNoReport = 3
};
