// The plug-in's entry, its dispatch and the Version function.
#pragma once

#include "host/extern_call.h"

// The record of the call being served. The handle services and the module
// instance are reached only through it, also from inside the modal dialog.
extern ExternCallRecord *gFMExternCallPtr;

extern "C" void __cdecl FMExternCallProc(ExternCallRecord *pb);

int32_t Do_Init(int16_t version);
void Do_External(int32_t functionId, FMHandle parameter, FMHandle result);
void Version(FMHandle result);

// Resizes `result` to `length` and copies `text` in without a terminator,
// unless the host reports a memory error after the resize.
void WriteResultText(FMHandle result, const char *text, int32_t length);
