#include "host/host_services_win.h"

#include <string.h>

ExternCallRecord *gFMExternCallPtr = nullptr;

void WriteResultText(FMHandle result, const char *text, int32_t length) {
  gFMExternCallPtr->cSetHandleSize(result, length);
  if (gFMExternCallPtr->cMemoryError() != 0)
    return;
  // The write follows the resize directly: the block may have moved, so the
  // data pointer is read only now.
  memcpy(*result, text, static_cast<size_t>(length));
}

void WriteResultText(FMHandle result, const char *text) {
  WriteResultText(result, text, static_cast<int32_t>(strlen(text)));
}

int32_t ParameterLength(FMHandle parameter) {
  return gFMExternCallPtr->cGetHandleSize(parameter);
}

bool ReadParameterText(FMHandle parameter, char *buffer, int32_t length) {
  gFMExternCallPtr->cLockHandle(parameter);
  if (gFMExternCallPtr->cMemoryError() != 0) {
    gFMExternCallPtr->cUnlockHandle(parameter);
    return false;
  }
  memcpy(buffer, *parameter, static_cast<size_t>(length));
  buffer[length] = '\0';
  gFMExternCallPtr->cUnlockHandle(parameter);
  return true;
}

HINSTANCE PluginInstance() {
  return reinterpret_cast<HINSTANCE>(
      static_cast<intptr_t>(gFMExternCallPtr->instanceID));
}
