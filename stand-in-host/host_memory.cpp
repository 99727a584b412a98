#include "stand-in-host/host_memory.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <map>
#include <mutex>
#include <vector>

namespace {

// Larger requests fail as a real host would when it runs out of room.
const int32_t kLargestBlock = 64 * 1024 * 1024;

// One allocation: the data, then the guard zone.
struct Place {
  char *mem;
  int32_t size;
};

struct Block {
  int serial;
  std::string label;
  char **master;
  Place place;
  int balance;
  std::vector<Place> quarantine;
};

struct PointerBlock {
  int serial;
  Place place;
};

std::mutex gMutex;
std::map<char **, Block> gHandles;
std::map<char *, PointerBlock> gPointers;
std::vector<std::string> gFindings; // from released handles and bad calls
HostCallCounts gCounts;
int16_t gMemoryError = kHostNoErr;
int gSerial = 0;
int gResizeArm = 0, gResizesSinceArm = 0;
int gLockArm = 0, gLocksSinceArm = 0;

// Counts one call against an armed failure; true when this is the call that
// fails, which disarms it.
bool FailsNow(int *arm, int *sinceArm) {
  if (*arm == 0 || ++*sinceArm != *arm)
    return false;
  *arm = 0;
  return true;
}

bool NewPlace(int32_t size, Place *place) {
  if (size < 0 || size > kLargestBlock)
    return false;
  char *mem = static_cast<char *>(malloc(size_t(size) + kHostGuardSize));
  if (!mem)
    return false;
  memset(mem, 0, size_t(size));
  memset(mem + size, kHostGuardByte, kHostGuardSize);
  place->mem = mem;
  place->size = size;
  return true;
}

std::string Name(const Block &b) {
  std::string name = b.label.empty() ? "handle" : b.label + " handle";
  return name + " #" + std::to_string(b.serial);
}

void CheckGuard(const std::string &name, const Place &p,
                std::vector<std::string> *out) {
  int first = -1, count = 0;
  for (int i = 0; i < kHostGuardSize; ++i)
    if (static_cast<unsigned char>(p.mem[p.size + i]) != kHostGuardByte) {
      if (first < 0)
        first = i;
      ++count;
    }
  if (count)
    out->push_back(name + ": written past its end (" + std::to_string(count) +
                   " of " + std::to_string(kHostGuardSize) +
                   " guard bytes changed, first at size+" +
                   std::to_string(first) + ")");
}

void CheckBlock(const Block &b, std::vector<std::string> *out) {
  const std::string name = Name(b);
  CheckGuard(name, b.place, out);
  for (size_t q = 0; q < b.quarantine.size(); ++q) {
    const Place &p = b.quarantine[q];
    const int32_t span = p.size + kHostGuardSize;
    int first = -1, count = 0;
    for (int32_t i = 0; i < span; ++i)
      if (static_cast<unsigned char>(p.mem[i]) != kHostPoisonByte) {
        if (first < 0)
          first = i;
        ++count;
      }
    if (count)
      out->push_back(name + ": written through a stale pointer (former place " +
                     std::to_string(q + 1) + ", " + std::to_string(p.size) +
                     " bytes long: " + std::to_string(count) +
                     " bytes changed, first at offset " +
                     std::to_string(first) + ")");
  }
  if (b.balance != 0)
    out->push_back(name + ": lock balance " + (b.balance > 0 ? "+" : "") +
                   std::to_string(b.balance));
}

void FreeBlock(Block &b) {
  free(b.place.mem);
  for (const Place &p : b.quarantine)
    free(p.mem);
  b.quarantine.clear();
}

// Moves the data to a fresh allocation of `size` bytes and poisons the old
// place, so any pointer kept across the move reads poison.
bool MoveBlock(Block &b, int32_t size) {
  Place fresh;
  if (!NewPlace(size, &fresh))
    return false;
  const int32_t keep = size < b.place.size ? size : b.place.size;
  memcpy(fresh.mem, b.place.mem, size_t(keep));
  if (size > keep)
    memset(fresh.mem + keep, kHostFreshByte, size_t(size - keep));
  memset(b.place.mem, kHostPoisonByte, size_t(b.place.size) + kHostGuardSize);
  b.quarantine.push_back(b.place);
  b.place = fresh;
  *b.master = fresh.mem;
  return true;
}

Block *Find(FMHandle h, const char *service) {
  auto it = gHandles.find(h);
  if (it != gHandles.end())
    return &it->second;
  char text[32];
  snprintf(text, sizeof text, "%p", static_cast<void *>(h));
  gFindings.push_back(std::string(service) + " called with unknown handle " +
                      text);
  return nullptr;
}

FMHandle NewHandleLocked(int32_t size, const char *label) {
  Place place;
  if (!NewPlace(size, &place))
    return nullptr;
  char **master = new char *(place.mem);
  Block b;
  b.serial = ++gSerial;
  b.label = label ? label : "";
  b.master = master;
  b.place = place;
  b.balance = 0;
  gHandles.emplace(master, b);
  return master;
}

void DisposeLocked(FMHandle h, const char *service) {
  Block *b = Find(h, service);
  if (!b)
    return;
  CheckBlock(*b, &gFindings);
  FreeBlock(*b);
  delete b->master;
  gHandles.erase(h);
}

} // namespace

FMHandle HostNewHandle(int32_t size, const char *label) {
  std::lock_guard<std::mutex> lock(gMutex);
  return NewHandleLocked(size, label);
}

void HostSetText(FMHandle h, const void *bytes, int32_t length) {
  std::lock_guard<std::mutex> lock(gMutex);
  Block *b = Find(h, "HostSetText");
  if (!b || !MoveBlock(*b, length))
    return;
  if (length > 0)
    memcpy(b->place.mem, bytes, size_t(length));
}

void HostSetText(FMHandle h, const std::string &text) {
  HostSetText(h, text.data(), int32_t(text.size()));
}

std::string HostText(FMHandle h) {
  std::lock_guard<std::mutex> lock(gMutex);
  Block *b = Find(h, "HostText");
  return b ? std::string(b->place.mem, size_t(b->place.size)) : std::string();
}

int32_t HostHandleSize(FMHandle h) {
  std::lock_guard<std::mutex> lock(gMutex);
  Block *b = Find(h, "HostHandleSize");
  return b ? b->place.size : -1;
}

int HostLockBalance(FMHandle h) {
  std::lock_guard<std::mutex> lock(gMutex);
  Block *b = Find(h, "HostLockBalance");
  return b ? b->balance : 0;
}

void HostDisposeHandle(FMHandle h) {
  std::lock_guard<std::mutex> lock(gMutex);
  DisposeLocked(h, "HostDisposeHandle");
}

void HostArmResizeFailure(int n) {
  std::lock_guard<std::mutex> lock(gMutex);
  gResizeArm = n > 0 ? n : 0;
  gResizesSinceArm = 0;
}

void HostArmLockFailure(int n) {
  std::lock_guard<std::mutex> lock(gMutex);
  gLockArm = n > 0 ? n : 0;
  gLocksSinceArm = 0;
}

HostCallCounts HostCounts() {
  std::lock_guard<std::mutex> lock(gMutex);
  return gCounts;
}

int16_t HostLastMemoryError() {
  std::lock_guard<std::mutex> lock(gMutex);
  return gMemoryError;
}

bool HostCheckIntegrity(std::string *report) {
  std::lock_guard<std::mutex> lock(gMutex);
  std::vector<std::string> found = gFindings;
  for (const auto &entry : gHandles)
    CheckBlock(entry.second, &found);
  for (const auto &entry : gPointers)
    CheckGuard("pointer #" + std::to_string(entry.second.serial),
               entry.second.place, &found);
  if (report) {
    report->clear();
    for (size_t i = 0; i < found.size(); ++i)
      *report += (i ? "; " : "") + found[i];
  }
  return found.empty();
}

void HostReset() {
  std::lock_guard<std::mutex> lock(gMutex);
  for (auto &entry : gHandles) {
    FreeBlock(entry.second);
    delete entry.second.master;
  }
  gHandles.clear();
  for (auto &entry : gPointers)
    free(entry.second.place.mem);
  gPointers.clear();
  gFindings.clear();
  gCounts = HostCallCounts();
  gMemoryError = kHostNoErr;
  gSerial = 0;
  gResizeArm = gResizesSinceArm = 0;
  gLockArm = gLocksSinceArm = 0;
}

void HostFillServices(ExternCallRecord *record) {
  record->cNewHandle = HostServiceNewHandle;
  record->cSetHandleSize = HostServiceSetHandleSize;
  record->cGetHandleSize = HostServiceGetHandleSize;
  record->cDisposeHandle = HostServiceDisposeHandle;
  record->cMoveHHi = HostServiceMoveHHi;
  record->cLockHandle = HostServiceLockHandle;
  record->cUnlockHandle = HostServiceUnlockHandle;
  record->cNewPointer = HostServiceNewPointer;
  record->cDisposePointer = HostServiceDisposePointer;
  record->cMemoryError = HostServiceMemoryError;
}

FMHandle FMX_API HostServiceNewHandle(int32_t size) {
  std::lock_guard<std::mutex> lock(gMutex);
  ++gCounts.newHandles;
  FMHandle h = NewHandleLocked(size, nullptr);
  gMemoryError = h ? kHostNoErr : (size < 0 ? kHostParamErr : kHostMemFullErr);
  return h;
}

void FMX_API HostServiceSetHandleSize(FMHandle h, int32_t size) {
  std::lock_guard<std::mutex> lock(gMutex);
  ++gCounts.resizes;
  Block *b = Find(h, "cSetHandleSize");
  if (!b) {
    gMemoryError = kHostNilHandleErr;
    return;
  }
  if (size < 0) {
    gFindings.push_back(Name(*b) + ": cSetHandleSize with negative size " +
                        std::to_string(size));
    gMemoryError = kHostParamErr;
    return;
  }
  // A failed resize leaves the block exactly as it was.
  if (FailsNow(&gResizeArm, &gResizesSinceArm) || !MoveBlock(*b, size)) {
    ++gCounts.failedResizes;
    gMemoryError = kHostMemFullErr;
    return;
  }
  gMemoryError = kHostNoErr;
}

int32_t FMX_API HostServiceGetHandleSize(FMHandle h) {
  std::lock_guard<std::mutex> lock(gMutex);
  ++gCounts.sizeQueries;
  Block *b = Find(h, "cGetHandleSize");
  return b ? b->place.size : 0;
}

void FMX_API HostServiceDisposeHandle(FMHandle h) {
  std::lock_guard<std::mutex> lock(gMutex);
  ++gCounts.disposes;
  DisposeLocked(h, "cDisposeHandle");
}

void FMX_API HostServiceMoveHHi(FMHandle h) {
  std::lock_guard<std::mutex> lock(gMutex);
  ++gCounts.moves;
  Block *b = Find(h, "cMoveHHi");
  if (b)
    MoveBlock(*b, b->place.size);
}

// The balance counts every lock, failed or not: the caller is expected to
// unlock after a failed lock as well, which brings it back to zero.
void FMX_API HostServiceLockHandle(FMHandle h) {
  std::lock_guard<std::mutex> lock(gMutex);
  ++gCounts.locks;
  Block *b = Find(h, "cLockHandle");
  if (!b) {
    gMemoryError = kHostNilHandleErr;
    return;
  }
  ++b->balance;
  if (FailsNow(&gLockArm, &gLocksSinceArm)) {
    ++gCounts.failedLocks;
    gMemoryError = kHostMemFullErr;
    return;
  }
  gMemoryError = kHostNoErr;
}

void FMX_API HostServiceUnlockHandle(FMHandle h) {
  std::lock_guard<std::mutex> lock(gMutex);
  ++gCounts.unlocks;
  Block *b = Find(h, "cUnlockHandle");
  if (b)
    --b->balance;
}

char *FMX_API HostServiceNewPointer(int32_t size) {
  std::lock_guard<std::mutex> lock(gMutex);
  ++gCounts.newPointers;
  Place place;
  if (!NewPlace(size, &place)) {
    gMemoryError = size < 0 ? kHostParamErr : kHostMemFullErr;
    return nullptr;
  }
  gPointers[place.mem] = PointerBlock{++gSerial, place};
  gMemoryError = kHostNoErr;
  return place.mem;
}

void FMX_API HostServiceDisposePointer(char *p) {
  std::lock_guard<std::mutex> lock(gMutex);
  ++gCounts.disposedPointers;
  auto it = gPointers.find(p);
  if (it == gPointers.end()) {
    char text[32];
    snprintf(text, sizeof text, "%p", static_cast<void *>(p));
    gFindings.push_back(std::string("cDisposePointer called with unknown "
                                    "pointer ") +
                        text);
    return;
  }
  CheckGuard("pointer #" + std::to_string(it->second.serial), it->second.place,
             &gFindings);
  free(it->second.place.mem);
  gPointers.erase(it);
}

int16_t FMX_API HostServiceMemoryError(void) {
  std::lock_guard<std::mutex> lock(gMutex);
  ++gCounts.errorQueries;
  return gMemoryError;
}
