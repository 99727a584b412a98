// The start that the report and the health-record export share: the export
// read whole before anything is written, so that either is made whole or
// not at all.
#pragma once

#include "orbitrace-render/history/visit_spool.h"

#include <functional>
#include <istream>
#include <string>
#include <vector>

class Status;

// Spools the export and tells on `status` how it was read and what its
// header suggests. False when nothing is to be made: `failure` then says
// why ("SOURCE: reason"), or is left empty when `missing` names patients
// asked for that the export has not; the spool is closed.
bool StartSpool(std::istream &csv, const std::string &source,
                const ReadSettings &read,
                const std::function<void(const VisitProblem &)> &problem,
                Status *status, VisitSpool *spool, std::string *failure,
                std::vector<std::string> *missing);
