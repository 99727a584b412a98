// A file of the export written beside its final name and put in place only
// when every byte of it was written, so a failed run leaves an earlier
// file of that name as it was.
#pragma once

#include <stdio.h>

#include <string>

struct PendingFile {
  std::string path;    // the final name
  std::string partial; // the temporary beside it
  FILE *file = nullptr;
  bool failed = false; // a write failed; the reason is in `error`
  std::string error;
  unsigned long long bytes = 0;
};

// Makes the temporary; false with the reason.
bool OpenPending(const std::string &path, PendingFile *out, std::string *error);
// Appends; a failure is kept and told by CommitPending.
void WritePending(PendingFile *out, const char *data, size_t size);
void WritePending(PendingFile *out, const std::string &text);
// Flushes, syncs and closes the temporary, each step checked, then renames
// it to its final name. False with the reason, the temporary removed.
bool CommitPending(PendingFile *out, std::string *error);
// Removes the temporary (after a failure elsewhere).
void AbandonPending(PendingFile *out);
