// A file written beside its final name and put in place only when whole:
// every write and the close are checked, and a file that is not put in
// place is removed, also when the run is interrupted by SIGINT, SIGTERM,
// SIGHUP or SIGPIPE. Whatever was at the final name stays until then.
#pragma once

#include <stddef.h>
#include <stdio.h>

#include <string>

// What follows the last dot of an output's name, in lower case: the format
// it asks for. "" when the name has no dot.
std::string LowerExtension(const std::string &name);

// Whether the two names are one file (the same device and inode), through
// whatever path or link; false when either does not exist. "-" as the first
// is standard input, which a shell may have opened on the very file.
bool SameFile(const std::string &a, const std::string &b);

// Under a file-size limit (RLIMIT_FSIZE) a write past it fails with EFBIG
// and is reported like any other, rather than SIGXFSZ ending the run where
// it stands with its temporaries left behind. A signal the caller ignores
// or handles is left so.
void FailWritesPastSizeLimit();

class OutputFile {
public:
  OutputFile() {}
  OutputFile(const OutputFile &) = delete;
  OutputFile &operator=(const OutputFile &) = delete;
  // A file not yet put in place is removed.
  ~OutputFile();

  // Makes the temporary "PATH.XXXXXX", with the mode a new file gets.
  bool Open(const std::string &path, std::string *error);
  // Appends; false once any write has failed, and then nothing more is
  // written.
  bool Write(const void *data, size_t size);
  bool Write(const std::string &text) {
    return Write(text.data(), text.size());
  }
  // Flushes and closes, each checked, with the first failure's reason.
  bool Close(std::string *error);
  // Closes if still open, then renames the temporary over PATH.
  bool Commit(std::string *error);
  // Removes the temporary.
  void Discard();

  const std::string &path() const { return path_; }
  const std::string &temporary() const { return temporary_; }

private:
  bool Failed(std::string *error) const;

  FILE *file_ = nullptr;
  std::string path_, temporary_;
  int errno_ = 0; // of the first write or close that failed
  int tracked_ = -1;
};

// Temporaries that an interrupted run removes before it ends with the
// signal's own status. Each is recorded up front, so the handler only
// unlinks. Returns a handle, or -1 when the path is too long or too many
// are tracked (the run goes on; only that cleanup is missing).
int TrackTemporary(const std::string &path);
// A folder of files named PREFIX, a number from 1 (at least four digits)
// and SUFFIX, such as "page-0001.html"; the handler removes those numbered
// up to the count last given to TrackedFiles, then the folder.
int TrackTemporaryFolder(const std::string &folder, const char *prefix,
                         const char *suffix);
void TrackedFiles(int handle, int count);
// The temporary is gone or in place: nothing to remove any more.
void Untrack(int handle);

// NAME for file `number` of a tracked folder: PREFIX, the number with at
// least four digits, SUFFIX.
std::string NumberedName(const char *prefix, int number, const char *suffix);
