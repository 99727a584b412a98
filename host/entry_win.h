// The plug-in's entry, its dispatch and the Version function.
#pragma once

#include "host/extern_call.h"

extern "C" void __cdecl FMExternCallProc(ExternCallRecord *pb);

int32_t Do_Init(int16_t version);
void Do_External(int32_t functionId, FMHandle parameter, FMHandle result);
void Version(FMHandle result);
