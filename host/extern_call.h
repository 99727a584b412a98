// The call record through which the host delivers every call to the plug-in.
// The host lays it out packed, little-endian, 72 bytes on 32-bit Windows.
#pragma once

#include <stddef.h>
#include <stdint.h>

#if !defined(_WIN32) || defined(_WIN64)
#error "The host call record is defined for 32-bit Windows only"
#endif

#define FMX_API __stdcall

// A host handle: a pointer to the movable block's current data pointer.
typedef char **FMHandle;

typedef FMHandle(FMX_API *NewHandleProc)(int32_t size);
typedef void(FMX_API *SetHandleSizeProc)(FMHandle h, int32_t size);
typedef int32_t(FMX_API *GetHandleSizeProc)(FMHandle h);
typedef void(FMX_API *HandleProc)(FMHandle h);
typedef char *(FMX_API *NewPointerProc)(int32_t size);
typedef void(FMX_API *DisposePointerProc)(char *p);
typedef int16_t(FMX_API *MemoryErrorProc)(void);

#pragma pack(push, 1)
struct ExternCallRecord {
  int16_t extnVersion;
  int16_t resourceID;
  int32_t entryPoint;
  uint8_t ppcCalls;
  uint8_t whichCall;
  uint8_t unsafeCalls;
  uint8_t parm1;
  int32_t parm2; // function ID on an external-function call
  int32_t parm3; // parameter handle
  int32_t instanceID;
  int32_t result; // answer to kInitialise, or the result handle
  int32_t unused;
  NewHandleProc cNewHandle;
  SetHandleSizeProc cSetHandleSize;
  GetHandleSizeProc cGetHandleSize;
  HandleProc cDisposeHandle;
  HandleProc cMoveHHi;
  HandleProc cLockHandle;
  HandleProc cUnlockHandle;
  NewPointerProc cNewPointer;
  DisposePointerProc cDisposePointer;
  MemoryErrorProc cMemoryError;
};
#pragma pack(pop)

static_assert(offsetof(ExternCallRecord, extnVersion) == 0, "extnVersion");
static_assert(offsetof(ExternCallRecord, resourceID) == 2, "resourceID");
static_assert(offsetof(ExternCallRecord, entryPoint) == 4, "entryPoint");
static_assert(offsetof(ExternCallRecord, ppcCalls) == 8, "ppcCalls");
static_assert(offsetof(ExternCallRecord, whichCall) == 9, "whichCall");
static_assert(offsetof(ExternCallRecord, unsafeCalls) == 10, "unsafeCalls");
static_assert(offsetof(ExternCallRecord, parm1) == 11, "parm1");
static_assert(offsetof(ExternCallRecord, parm2) == 12, "parm2");
static_assert(offsetof(ExternCallRecord, parm3) == 16, "parm3");
static_assert(offsetof(ExternCallRecord, instanceID) == 20, "instanceID");
static_assert(offsetof(ExternCallRecord, result) == 24, "result");
static_assert(offsetof(ExternCallRecord, unused) == 28, "unused");
static_assert(offsetof(ExternCallRecord, cNewHandle) == 32, "cNewHandle");
static_assert(offsetof(ExternCallRecord, cSetHandleSize) == 36,
              "cSetHandleSize");
static_assert(offsetof(ExternCallRecord, cGetHandleSize) == 40,
              "cGetHandleSize");
static_assert(offsetof(ExternCallRecord, cDisposeHandle) == 44,
              "cDisposeHandle");
static_assert(offsetof(ExternCallRecord, cMoveHHi) == 48, "cMoveHHi");
static_assert(offsetof(ExternCallRecord, cLockHandle) == 52, "cLockHandle");
static_assert(offsetof(ExternCallRecord, cUnlockHandle) == 56, "cUnlockHandle");
static_assert(offsetof(ExternCallRecord, cNewPointer) == 60, "cNewPointer");
static_assert(offsetof(ExternCallRecord, cDisposePointer) == 64,
              "cDisposePointer");
static_assert(offsetof(ExternCallRecord, cMemoryError) == 68, "cMemoryError");
static_assert(sizeof(ExternCallRecord) == 72, "the host's record is 72 bytes");

// Call kinds (whichCall) the plug-in answers.
enum { kInitialise = 0, kExternalCall = 3 };

// External function IDs; the host lists them by strings 144 + ID.
enum { kVersionFunction = 0, kDrawFunction = 2 };

// The export the host looks up by name.
typedef void(__cdecl *FMExternCallProcPtr)(ExternCallRecord *pb);
