// The host's side of the handle services, made as unforgiving as a real host
// may legally be: every resize moves the block, the old place is poisoned and
// watched, and a guard zone after each block catches writes past its end.
#pragma once

#include <stdint.h>

#include <string>

#include "host/extern_call.h"

// Error codes the services report through cMemoryError.
enum : int16_t {
  kHostNoErr = 0,
  kHostParamErr = -50,
  kHostMemFullErr = -108,
  kHostNilHandleErr = -109,
};

// Byte patterns, public so tests can recognise them.
enum : unsigned char {
  kHostPoisonByte = 0xDD, // a block's former place after a move
  kHostGuardByte = 0xFD,  // the zone right after a block's end
  kHostFreshByte = 0xCD,  // bytes a resize adds to a block
};
enum { kHostGuardSize = 16 };

// Calls seen through the services (host-side helpers are not counted).
struct HostCallCounts {
  int newHandles;
  int resizes;
  int failedResizes;
  int sizeQueries;
  int disposes;
  int moves;
  int locks;
  int failedLocks;
  int unlocks;
  int errorQueries;
  int newPointers;
  int disposedPointers;
};

// Host-side operations. None of them counts as a plug-in call, none is
// subject to fault injection, none changes the memory error.
FMHandle HostNewHandle(int32_t size, const char *label = nullptr);
void HostSetText(FMHandle h, const void *bytes, int32_t length);
void HostSetText(FMHandle h, const std::string &text);
std::string HostText(FMHandle h);
int32_t HostHandleSize(FMHandle h);
// Lock calls minus unlock calls on the handle so far.
int HostLockBalance(FMHandle h);
// Releases the handle; any violation found in it is kept for the next
// integrity check.
void HostDisposeHandle(FMHandle h);

// Makes the Nth resize (or lock) counted from now fail, 1-based; 0 disarms.
// Each arming fires at most once.
void HostArmResizeFailure(int n);
void HostArmLockFailure(int n);

HostCallCounts HostCounts();
int16_t HostLastMemoryError();

// Checks every live block, every quarantined former place and every
// released handle's findings. Returns true when nothing was violated;
// otherwise `report` receives one line per violation.
bool HostCheckIntegrity(std::string *report);

// Frees everything, forgets findings and counts, disarms the injections.
void HostReset();

// Puts the host's services into a call record.
void HostFillServices(ExternCallRecord *record);

// The services themselves, as the plug-in sees them.
FMHandle FMX_API HostServiceNewHandle(int32_t size);
void FMX_API HostServiceSetHandleSize(FMHandle h, int32_t size);
int32_t FMX_API HostServiceGetHandleSize(FMHandle h);
void FMX_API HostServiceDisposeHandle(FMHandle h);
void FMX_API HostServiceMoveHHi(FMHandle h);
void FMX_API HostServiceLockHandle(FMHandle h);
void FMX_API HostServiceUnlockHandle(FMHandle h);
char *FMX_API HostServiceNewPointer(int32_t size);
void FMX_API HostServiceDisposePointer(char *p);
int16_t FMX_API HostServiceMemoryError(void);
