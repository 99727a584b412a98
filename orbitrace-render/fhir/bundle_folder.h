// The folder of transaction Bundles, each a file of its own, written beside
// the folder of that name and put in its place whole: an earlier run's
// Bundles never mix with this one's, whose visits they may hold otherwise.
#pragma once

#include <string>

// The files of the folder: "bundle-00001.json" and on.
std::string BundleFileName(long number);
// Whether `name` is one of those, or a temporary of one: the only files
// the folder may hold before it is written again.
bool IsBundleFileName(const std::string &name);

class BundleFolder {
public:
  BundleFolder() {}
  BundleFolder(const BundleFolder &) = delete;
  BundleFolder &operator=(const BundleFolder &) = delete;
  ~BundleFolder() { Discard(); }

  // Refuses a folder that holds anything but Bundles; makes the one beside
  // it that is written.
  bool Open(const std::string &output, std::string *error);
  // The next Bundle, as a file of its own (on the writer's thread).
  void Write(const std::string &bundle);
  // Puts the Bundles in the folder's place, an earlier run's let go.
  bool Commit(std::string *error);
  void Discard();

  long Written() const { return written_; }

private:
  std::string folder_, temporary_;
  std::string error_; // the writer's first failure
  long written_ = 0;
};
