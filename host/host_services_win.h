// The host's services as the plug-in uses them: the record of the call
// being served, and through it the handle services and the module instance.
#pragma once

#include <windows.h>

#include "host/extern_call.h"

// The record of the call being served. The handle services and the module
// instance are reached only through it, also from inside the modal dialog.
// The entry sets it for each call.
extern ExternCallRecord *gFMExternCallPtr;

// Resizes `result` to `length` and copies `text` in without a terminator,
// unless the host reports a memory error after the resize.
void WriteResultText(FMHandle result, const char *text, int32_t length);
// The same for a zero-terminated text.
void WriteResultText(FMHandle result, const char *text);

// The parameter text's length in bytes, as the host's handle says.
int32_t ParameterLength(FMHandle parameter);

// Copies the first `length` bytes of the parameter text into `buffer`
// (which holds `length` + 1 bytes) and terminates it, with the handle
// locked for the copy. False, with nothing copied, when the host reports a
// memory error at the lock; the handle is unlocked either way.
bool ReadParameterText(FMHandle parameter, char *buffer, int32_t length);

// The plug-in's module, whose resources the dialog is made from.
HINSTANCE PluginInstance();
