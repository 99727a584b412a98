// orbitrace-render's exit statuses. Only the command line chooses them: the
// batch and the report return what happened.
#pragma once

enum ExitStatus { kExitOk = 0, kExitFailed = 1, kExitUsage = 2 };
