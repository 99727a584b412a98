#include "export/clipboard_open_win.h"

#include "export/clipboard_retry.h"

bool OpenClipboardSoon(HWND owner) {
  const DWORD start = GetTickCount();
  for (uint32_t tries = 1;; ++tries) {
    if (OpenClipboard(owner))
      return true;
    if (!RetryClipboard(tries, start, GetTickCount()))
      return false;
    Sleep(kClipboardRetryWaitMs);
  }
}

HPALETTE CopyOfDefaultPalette() {
  HGDIOBJ stock = GetStockObject(DEFAULT_PALETTE);
  struct {
    WORD palVersion;
    WORD palNumEntries;
    PALETTEENTRY entries[256];
  } pal;
  UINT count =
      GetPaletteEntries(static_cast<HPALETTE>(stock), 0, 256, pal.entries);
  if (count == 0)
    return nullptr;
  pal.palVersion = 0x300;
  pal.palNumEntries = static_cast<WORD>(count);
  return CreatePalette(reinterpret_cast<LOGPALETTE *>(&pal));
}
