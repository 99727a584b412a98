#include "orbitrace-render/fhir/fhir_output.h"

#include <errno.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

bool OpenPending(const std::string &path, PendingFile *out,
                 std::string *error) {
  out->path = path;
  out->partial = path + ".XXXXXX";
  const int fd = mkstemp(&out->partial[0]);
  if (fd < 0) {
    *error = "cannot write \"" + path + "\": " + strerror(errno);
    return false;
  }
  // mkstemp makes the file private; an export gets the usual mode.
  const mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, 0666 & ~mask);
  out->file = fdopen(fd, "wb");
  if (!out->file) {
    *error = "cannot write \"" + path + "\": " + strerror(errno);
    close(fd);
    remove(out->partial.c_str());
    return false;
  }
  return true;
}

void WritePending(PendingFile *out, const char *data, size_t size) {
  if (out->failed || size == 0)
    return;
  if (fwrite(data, 1, size, out->file) != size) {
    out->failed = true;
    out->error = strerror(errno);
  }
  out->bytes += size;
}

void WritePending(PendingFile *out, const std::string &text) {
  WritePending(out, text.data(), text.size());
}

bool CommitPending(PendingFile *out, std::string *error) {
  if (!out->failed && fflush(out->file) != 0) {
    out->failed = true;
    out->error = strerror(errno);
  }
  if (!out->failed && fsync(fileno(out->file)) != 0 && errno != EINVAL) {
    out->failed = true;
    out->error = strerror(errno);
  }
  const int closeErrno = fclose(out->file) == 0 ? 0 : errno;
  out->file = nullptr;
  if (!out->failed && closeErrno != 0) {
    out->failed = true;
    out->error = strerror(closeErrno);
  }
  if (!out->failed && rename(out->partial.c_str(), out->path.c_str()) != 0) {
    out->failed = true;
    out->error = strerror(errno);
  }
  if (out->failed) {
    remove(out->partial.c_str());
    *error = "cannot write \"" + out->path + "\": " + out->error;
    return false;
  }
  return true;
}

void AbandonPending(PendingFile *out) {
  if (out->file)
    fclose(out->file);
  out->file = nullptr;
  remove(out->partial.c_str());
}
