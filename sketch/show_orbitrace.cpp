#include "sketch/show_orbitrace.h"

#include <string.h>
#include <windows.h>

#include "dialog/splash_proc.h"
#include "host/entry.h"
#include "resources/orbitrace_res.h"
#include "sketch/sketch_state.h"

static const char kParameterError[] = "$$002$$";

static void WriteText(FMHandle result, const char *text) {
  WriteResultText(result, text, static_cast<int32_t>(strlen(text)));
}

// Appends `text` to the zero-terminated `buffer` of `size` bytes, cutting it
// short rather than writing past the end.
static void AppendBounded(char *buffer, size_t size, const char *text) {
  size_t used = strnlen(buffer, size - 1);
  size_t room = size - 1 - used;
  size_t length = strnlen(text, room);
  memcpy(buffer + used, text, length);
  buffer[used + length] = '\0';
}

void ShowOrbitrace(FMHandle parameter, FMHandle result) {
  char parmin[kFieldSize];
  char parmout[kFieldSize];
  int32_t ParmLength = gFMExternCallPtr->cGetHandleSize(parameter);

  memset(gXval, 0, sizeof gXval);
  memset(gYval, 0, sizeof gYval);
  memset(gPosition, 0, sizeof gPosition);
  memset(gEdge, 0, sizeof gEdge);
  memset(gWname, 0, sizeof gWname);
  memset(parmin, 0, sizeof parmin);

  if (ParmLength <= 0 || ParmLength > kMaxParameterLength) {
    WriteText(result, kParameterError);
    return;
  }

  gFMExternCallPtr->cLockHandle(parameter);
  if (gFMExternCallPtr->cMemoryError() != 0) {
    gFMExternCallPtr->cUnlockHandle(parameter);
    return;
  }
  memcpy(parmin, *parameter, static_cast<size_t>(ParmLength));
  parmin[ParmLength] = '\0';
  gFMExternCallPtr->cUnlockHandle(parameter);

  char fields[kFieldCount][kFieldSize];
  SplitParameter(parmin, ParmLength, fields);
  memcpy(gXval, fields[0], kFieldSize);
  memcpy(gYval, fields[1], kFieldSize);
  memcpy(gPosition, fields[2], kFieldSize);
  memcpy(gEdge, fields[3], kFieldSize);
  memcpy(gWname, fields[4], kFieldSize);

  HINSTANCE instance = reinterpret_cast<HINSTANCE>(
      static_cast<intptr_t>(gFMExternCallPtr->instanceID));
  INT_PTR ended = DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_SKETCH),
                                  GetActiveWindow(), SplashProc, 0);
  // Without a dialog the user chose nothing: report the error the host
  // already knows instead of values from an earlier call.
  if (ended <= 0) {
    WriteText(result, kParameterError);
    return;
  }

  memset(parmout, 0, sizeof parmout);
  AppendBounded(parmout, sizeof parmout, gXval2);
  AppendBounded(parmout, sizeof parmout, "|");
  AppendBounded(parmout, sizeof parmout, gYval2);
  AppendBounded(parmout, sizeof parmout, "|");
  AppendBounded(parmout, sizeof parmout, gPosition2);
  AppendBounded(parmout, sizeof parmout, "|");
  AppendBounded(parmout, sizeof parmout, gEdge2);
  WriteText(result, parmout);
}
