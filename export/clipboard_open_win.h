// What filling the clipboard takes beside the picture: the clipboard opened
// though another program holds it for a moment, and a palette of its own.
#pragma once

#include <windows.h>

// Opens the clipboard for `owner`, trying again while the retry rule allows
// (export/clipboard_retry.h).
bool OpenClipboardSoon(HWND owner);

// A palette with the default palette's colours, null when none can be made.
// The clipboard frees what it owns: handing it the stock object itself would
// have the stock palette deleted at the next EmptyClipboard.
HPALETTE CopyOfDefaultPalette();
