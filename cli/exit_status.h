// The exit statuses of both command lines, orbitrace-render's and the stand-in
// host's. Only the command line chooses them: the work it runs returns what
// happened.
#pragma once

enum ExitStatus { kExitOk = 0, kExitFailed = 1, kExitUsage = 2 };
