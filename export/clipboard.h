// Taking the sketch off the screen and onto the clipboard.
#pragma once

#include <windows.h>

HBITMAP CreateClippedBitmap();
void SendItToTheClipboard(HWND mydialog);
