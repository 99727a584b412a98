// The batch's and the report's status on the error stream: each message on
// a line of its own, after "orbitrace-render: ", and on a smart terminal a
// progress bar that appears once the work has taken more than a second, so
// quick runs stay silent, redrawn at most ten times a second however many
// updates and messages come. A file or a pipe gets the messages only.
#pragma once

#include "orbitrace-render/status.h"

#include <functional>
#include <iosfwd>
#include <string>

// True for a terminal that can redraw a line: `isTerminal` says the stream
// is one, `term` is $TERM (null when unset). Decided once per run.
bool SmartTerminal(bool isTerminal, const char *term);

class StatusPrinter : public Status {
public:
  // `now` gives seconds; `smart` shows the bar (see SmartTerminal).
  StatusPrinter(std::ostream &err, std::function<double()> now, bool smart);
  void SetTotal(long total) override { total_ = total; }
  void Update(long done) override;
  void Message(const std::string &line) override;
  void Finish() override;

private:
  void Draw(double now);
  std::ostream &err_;
  long total_ = 0;
  long done_ = 0;
  std::function<double()> now_;
  double start_;
  double drawn_ = 0;
  bool smart_;
  bool shown_ = false;    // the work has taken long enough for a bar
  bool onScreen_ = false; // the bar is the terminal's last line
};
