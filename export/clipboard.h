// Taking the sketch off the screen and onto the clipboard.
#pragma once

#include <windows.h>

HBITMAP CreateClippedBitmap();
void SendItToTheClipboard(HWND mydialog);

// Device-independent bitmaps and palettes.
HPALETTE GetSystemPalette();
HBITMAP DIBToBitmap(HANDLE hDIB, HPALETTE hPal);
HANDLE BitmapToDIB(HBITMAP hBitmap, HPALETTE hPal);
int PalEntriesOnDevice(HDC hDC);
