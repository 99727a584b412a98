#include "cli/exit_status.h"

namespace {

const struct {
  int status;
  const char *meaning;
} kMeanings[] = {
    {kExitOk, "all of it done"},
    {kExitFailed, "a part failed, each told: a row left out, a picture or an\n"
                  "output not written, a plug-in not loaded, a check not\n"
                  "passed; what could still be done was done"},
    {kExitUsage, "bad arguments; the message says which"},
    {kExitNoReport, "no report or export made: the input could not be read "
                    "or\n"
                    "the output not written (an earlier one of that name "
                    "is\n"
                    "left as it was, and for a report the error says when "
                    "it\n"
                    "was made)"},
};

} // namespace

const char *ExitStatusMeaning(int status) {
  for (const auto &m : kMeanings)
    if (m.status == status)
      return m.meaning;
  return nullptr;
}
