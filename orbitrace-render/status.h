// What the batch and the report tell while they run. They only call this;
// how it shows (a progress bar, plain lines, nothing) is the command line's
// choice, so their headers need no more than a declaration of it.
#pragma once

#include <string>

class Status {
public:
  virtual ~Status() {}
  // The amount of work, once it is known.
  virtual void SetTotal(long total) = 0;
  // The work done so far, out of the total.
  virtual void Update(long done) = 0;
  // A line worth telling whatever the output is, e.g. "row 2: ...".
  virtual void Message(const std::string &line) = 0;
  // The work is over.
  virtual void Finish() = 0;
};
