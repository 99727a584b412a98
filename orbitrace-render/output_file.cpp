#include "orbitrace-render/output_file.h"

#include <atomic>

#include <ctype.h>
#include <errno.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// SIGPIPE: the terminal or pipe that the messages go to is gone, as when
// the run's output is piped into `head`.
const int kInterrupts[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};

// What the signal handler may read: fixed arrays, filled before the slot
// is marked in use.
enum SlotState { kFree, kFilling, kFile, kFolder };
struct Slot {
  std::atomic<int> state{kFree};
  std::atomic<int> count{0};
  char path[4096];
  char prefix[32], suffix[32];
};
Slot slots[16];

// Appends `text` to `out` at `*at`, within `size` (with its terminator).
void Append(char *out, size_t size, size_t *at, const char *text) {
  for (; *text && *at + 1 < size; ++text)
    out[(*at)++] = *text;
  out[*at] = 0;
}

// `number` in decimal with at least four digits, async-signal-safe.
void AppendNumber(char *out, size_t size, size_t *at, int number) {
  char digits[16];
  int n = 0;
  do {
    digits[n++] = static_cast<char>('0' + number % 10);
    number /= 10;
  } while (number > 0 || n < 4);
  char text[16];
  for (int i = 0; i < n; ++i)
    text[i] = digits[n - 1 - i];
  text[n] = 0;
  Append(out, size, at, text);
}

void RemoveTracked(int sig) {
  // Files first: one may be in a tracked folder.
  for (Slot &slot : slots)
    if (slot.state.load() == kFile)
      unlink(slot.path);
  for (Slot &slot : slots) {
    if (slot.state.load() == kFolder) {
      char name[sizeof slot.path + 96];
      const int count = slot.count.load();
      for (int i = 1; i <= count; ++i) {
        size_t at = 0;
        Append(name, sizeof name, &at, slot.path);
        Append(name, sizeof name, &at, "/");
        Append(name, sizeof name, &at, slot.prefix);
        AppendNumber(name, sizeof name, &at, i);
        Append(name, sizeof name, &at, slot.suffix);
        unlink(name);
      }
      rmdir(slot.path);
    }
  }
  // SA_RESETHAND has put back the default action: the signal, raised
  // again, ends the run once the handler returns, with its usual status.
  raise(sig);
}

// For each interrupt that still has its default action.
void InstallHandlers() {
  for (int sig : kInterrupts) {
    struct sigaction old;
    // A signal ignored (nohup) or handled by the caller is left so.
    if (sigaction(sig, nullptr, &old) != 0 || old.sa_handler != SIG_DFL)
      continue;
    struct sigaction act;
    memset(&act, 0, sizeof act);
    act.sa_handler = RemoveTracked;
    act.sa_flags = SA_RESETHAND;
    sigemptyset(&act.sa_mask);
    for (int other : kInterrupts)
      sigaddset(&act.sa_mask, other);
    sigaction(sig, &act, nullptr);
  }
}

int Track(int kind, const std::string &path, const char *prefix,
          const char *suffix) {
  if (path.size() >= sizeof slots[0].path || strlen(prefix) >= 32 ||
      strlen(suffix) >= 32)
    return -1;
  InstallHandlers();
  for (int i = 0; i < static_cast<int>(sizeof slots / sizeof *slots); ++i) {
    int expected = kFree;
    if (!slots[i].state.compare_exchange_strong(expected, kFilling))
      continue;
    memcpy(slots[i].path, path.c_str(), path.size() + 1);
    memcpy(slots[i].prefix, prefix, strlen(prefix) + 1);
    memcpy(slots[i].suffix, suffix, strlen(suffix) + 1);
    slots[i].count = 0;
    slots[i].state = kind;
    return i;
  }
  return -1;
}

// Holds off the interrupts between making a temporary and tracking it.
class InterruptsHeld {
public:
  InterruptsHeld() {
    sigset_t set;
    sigemptyset(&set);
    for (int sig : kInterrupts)
      sigaddset(&set, sig);
    sigprocmask(SIG_BLOCK, &set, &old_);
  }
  ~InterruptsHeld() { sigprocmask(SIG_SETMASK, &old_, nullptr); }

private:
  sigset_t old_;
};

} // namespace

void FailWritesPastSizeLimit() {
  struct sigaction old;
  if (sigaction(SIGXFSZ, nullptr, &old) == 0 && old.sa_handler == SIG_DFL)
    signal(SIGXFSZ, SIG_IGN);
}

std::string LowerExtension(const std::string &name) {
  const std::string::size_type dot = name.rfind('.');
  if (dot == std::string::npos)
    return "";
  std::string ext = name.substr(dot + 1);
  for (char &c : ext)
    c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  return ext;
}

bool SameFile(const std::string &a, const std::string &b) {
  struct stat sa, sb;
  const bool read =
      a == "-" ? fstat(STDIN_FILENO, &sa) == 0 : stat(a.c_str(), &sa) == 0;
  return read && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

OutputFile::~OutputFile() { Discard(); }

bool OutputFile::Open(const std::string &path, std::string *error) {
  Discard();
  path_ = path;
  errno_ = 0;
  std::string temporary = path + ".XXXXXX";
  {
    InterruptsHeld held;
    const int fd = mkstemp(&temporary[0]);
    if (fd < 0) {
      *error = "cannot write \"" + path + "\": " + strerror(errno);
      return false;
    }
    temporary_ = temporary;
    tracked_ = TrackTemporary(temporary_);
    // mkstemp makes the file private; an output gets the usual mode.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    FILE *file = fdopen(fd, "wb");
    if (!file) {
      *error = "cannot write \"" + path + "\": " + strerror(errno);
      close(fd);
      Discard();
      return false;
    }
    file_ = file;
  }
  // Large writes: a sketch is a few kilobytes.
  setvbuf(file_, nullptr, _IOFBF, 1 << 16);
  return true;
}

bool OutputFile::Write(const void *data, size_t size) {
  if (errno_ || !file_)
    return false;
  if (size > 0 && fwrite(data, 1, size, file_) != size) {
    errno_ = errno ? errno : EIO;
    return false;
  }
  return true;
}

bool OutputFile::Failed(std::string *error) const {
  *error = "cannot write \"" + path_ + "\": " + strerror(errno_);
  return false;
}

bool OutputFile::Close(std::string *error) {
  if (file_) {
    FILE *file = file_;
    file_ = nullptr;
    errno = 0;
    if (fflush(file) != 0 || ferror(file)) {
      if (!errno_)
        errno_ = errno ? errno : EIO;
    }
    if (fclose(file) != 0 && !errno_)
      errno_ = errno ? errno : EIO;
  }
  if (errno_)
    return Failed(error);
  return true;
}

bool OutputFile::Commit(std::string *error) {
  if (temporary_.empty()) {
    *error = "cannot write \"" + path_ + "\": it was not opened";
    return false;
  }
  if (!Close(error))
    return false;
  if (rename(temporary_.c_str(), path_.c_str()) != 0) {
    errno_ = errno;
    return Failed(error);
  }
  Untrack(tracked_);
  tracked_ = -1;
  temporary_.clear();
  return true;
}

void OutputFile::Discard() {
  if (file_) {
    fclose(file_);
    file_ = nullptr;
  }
  if (!temporary_.empty())
    unlink(temporary_.c_str());
  Untrack(tracked_);
  tracked_ = -1;
  temporary_.clear();
}

int TrackTemporary(const std::string &path) {
  return Track(kFile, path, "", "");
}

int TrackTemporaryFolder(const std::string &folder, const char *prefix,
                         const char *suffix) {
  return Track(kFolder, folder, prefix, suffix);
}

void TrackedFiles(int handle, int count) {
  if (handle >= 0)
    slots[handle].count = count;
}

void Untrack(int handle) {
  if (handle >= 0)
    slots[handle].state = kFree;
}

std::string NumberedName(const char *prefix, int number, const char *suffix) {
  char name[96];
  size_t at = 0;
  Append(name, sizeof name, &at, prefix);
  AppendNumber(name, sizeof name, &at, number);
  Append(name, sizeof name, &at, suffix);
  return name;
}
