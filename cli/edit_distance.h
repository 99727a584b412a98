// The spelling suggestion of both command lines: for a mistyped option or
// function name, the known name nearest to it, as ninja suggests a target.
#pragma once

#include <vector>

// The number of characters to insert, delete or replace to turn `a` into `b`.
int EditDistance(const char *a, const char *b);

// The name nearest to `typed`, or null when none is within three edits (the
// first of equally near ones).
const char *ClosestName(const char *typed,
                        const std::vector<const char *> &names);
