#include "orbitrace-render/fhir/bundle_folder.h"

#include "orbitrace-render/output_file.h"

#include <ctype.h>
#include <dirent.h>
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

std::string BundleFileName(long number) {
  char name[40];
  snprintf(name, sizeof name, "bundle-%05ld.json", number);
  return name;
}

bool IsBundleFileName(const std::string &name) {
  // With the temporaries a run left when it was killed.
  const char prefix[] = "bundle-";
  if (name.compare(0, sizeof prefix - 1, prefix) != 0)
    return false;
  size_t i = sizeof prefix - 1;
  const size_t digits = i;
  while (i < name.size() && isdigit(static_cast<unsigned char>(name[i])))
    ++i;
  return i > digits && name.compare(i, 5, ".json") == 0;
}

namespace {

// Only the Bundles and their temporaries are in it.
void RemoveFolder(const std::string &folder) {
  if (DIR *d = opendir(folder.c_str())) {
    while (const dirent *e = readdir(d)) {
      const std::string name = e->d_name;
      if (name != "." && name != "..")
        unlink((folder + "/" + name).c_str());
    }
    closedir(d);
  }
  rmdir(folder.c_str());
}

} // namespace

bool BundleFolder::Open(const std::string &output, std::string *error) {
  folder_ = output;
  while (folder_.size() > 1 && folder_.back() == '/')
    folder_.pop_back();
  if (DIR *d = opendir(folder_.c_str())) {
    std::string other;
    while (const dirent *e = readdir(d)) {
      const std::string name = e->d_name;
      if (name != "." && name != ".." && !IsBundleFileName(name))
        other = name;
    }
    closedir(d);
    if (!other.empty()) {
      *error = "\"" + folder_ + "\" holds \"" + other +
               "\", not only Bundles of an earlier run; give a new or "
               "empty folder";
      return false;
    }
  }
  std::string temporary = folder_ + ".XXXXXX";
  if (!mkdtemp(&temporary[0])) {
    *error =
        "cannot make a folder beside \"" + folder_ + "\": " + strerror(errno);
    return false;
  }
  temporary_ = temporary;
  return true;
}

void BundleFolder::Write(const std::string &bundle) {
  if (!error_.empty())
    return;
  OutputFile file;
  if (!file.Open(temporary_ + "/" + BundleFileName(++written_), &error_))
    return;
  file.Write(bundle);
  file.Commit(&error_);
}

bool BundleFolder::Commit(std::string *error) {
  if (!error_.empty()) {
    *error = error_;
    return false;
  }
  std::string old;
  struct stat st;
  if (stat(folder_.c_str(), &st) == 0) {
    old = folder_ + ".old.XXXXXX";
    if (!mkdtemp(&old[0]) || rename(folder_.c_str(), old.c_str()) != 0) {
      *error = "cannot move \"" + folder_ + "\" aside: " + strerror(errno);
      rmdir(old.c_str());
      return false;
    }
  }
  if (rename(temporary_.c_str(), folder_.c_str()) != 0) {
    *error = "cannot put \"" + folder_ + "\" in place: " + strerror(errno);
    if (!old.empty())
      rename(old.c_str(), folder_.c_str());
    return false;
  }
  temporary_.clear();
  if (!old.empty())
    RemoveFolder(old);
  return true;
}

void BundleFolder::Discard() {
  if (!temporary_.empty())
    RemoveFolder(temporary_);
  temporary_.clear();
}
