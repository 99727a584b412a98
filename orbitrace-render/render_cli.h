// orbitrace-render's command line: one table of commands (a picture, a
// batch, the visit-history report and the two benchmarks), parsed once.
// It depends on every part of the renderer and no part depends on it; it
// alone writes to the streams and chooses the exit status.
#pragma once

#include "cli/exit_status.h"
#include "orbitrace-render/seconds.h"

#include <functional>
#include <iosfwd>
#include <string>

// "WxH" in pixels, each side within the range the renderer accepts.
bool ParseSize(const std::string &text, int *width, int *height,
               std::string *error);

// The whole program; `in` is standard input for "--batch -" and
// "--history -". `smartTerminal` says that `err` is a terminal that can
// show a progress bar (see SmartTerminal in status_printer.h); `now` is the
// bar's clock.
int RenderMain(int argc, const char *const *argv, std::istream &in,
               std::ostream &out, std::ostream &err, bool smartTerminal,
               const std::function<double()> &now = Seconds);
