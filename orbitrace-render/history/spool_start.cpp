#include "orbitrace-render/history/spool_start.h"

#include "orbitrace-render/history/report_text.h"
#include "orbitrace-render/status.h"

bool StartSpool(std::istream &csv, const std::string &source,
                const ReadSettings &read,
                const std::function<void(const VisitProblem &)> &problem,
                Status *status, VisitSpool *spool, std::string *failure,
                std::vector<std::string> *missing) {
  std::string error;
  if (!SpoolVisits(csv, read, spool, problem, &error)) {
    *failure = source + ": " + error;
    return false;
  }
  if (FoundFromFile(spool->read))
    status->Message(source + ": " + HowReadText(spool->read));
  // Such as a likely ID column not used: patients merged here would be
  // merged in another system's records.
  for (const std::string &note : spool->read.columnNotes)
    status->Message(source + ": " + note);
  if (spool->missing.empty())
    return true;
  *missing = spool->missing;
  CloseSpool(spool);
  return false;
}
