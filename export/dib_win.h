// Device-independent bitmaps and palettes: a bitmap to a packed DIB in
// movable global memory and back, and the palette they are made with.
#pragma once

#include <windows.h>

// The screen's system palette (at most 256 entries), or null on a display
// that has none to read; the caller deletes it.
HPALETTE GetSystemPalette();
// A bitmap of the screen's format made from the DIB, or null.
HBITMAP DIBToBitmap(HANDLE hDIB, HPALETTE hPal);
// A zero-filled global block with the bitmap as a DIB, or null; the stock
// default palette is used when `hPal` is null.
HANDLE BitmapToDIB(HBITMAP hBitmap, HPALETTE hPal);
// Colour-table entries a DIB of this device's depth gets.
int PalEntriesOnDevice(HDC hDC);
