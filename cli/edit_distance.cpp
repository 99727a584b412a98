#include "cli/edit_distance.h"

#include <string.h>

#include <algorithm>

int EditDistance(const char *a, const char *b) {
  // One row of the table at a time: row[j] is the distance from the part of
  // `a` read so far to the first j characters of `b`.
  const size_t n = strlen(b);
  std::vector<int> row(n + 1);
  for (size_t j = 0; j <= n; ++j)
    row[j] = int(j);
  for (int i = 1; *a; ++a, ++i) {
    int diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= n; ++j) {
      const int above = row[j];
      row[j] = std::min(
          {row[j - 1] + 1, above + 1, diagonal + (*a == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[n];
}

const char *ClosestName(const char *typed,
                        const std::vector<const char *> &names) {
  const int kMostEdits = 3;
  const char *closest = nullptr;
  int best = kMostEdits + 1;
  for (const char *name : names) {
    const int distance = EditDistance(typed, name);
    if (distance < best) {
      closest = name;
      best = distance;
    }
  }
  return closest;
}
