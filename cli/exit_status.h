// The exit statuses of both command lines, orbitrace-render's and the stand-in
// host's, each meaning one thing in both. Only the command line chooses them:
// the work it runs returns what happened.
#pragma once

enum ExitStatus {
  kExitOk = 0,
  kExitFailed = 1,
  kExitUsage = 2,
  kExitNoReport = 3
};

// What `status` means, as the usages write it ('\n' between its lines);
// null for a status that is none of these.
const char *ExitStatusMeaning(int status);
