// The sketch dialog's procedure.
#pragma once

#include <windows.h>

// What the dialog ends with when OK has stored the picture with the values;
// only then are the values returned. Not IDOK, which the dialog manager
// gives a dialog ended by WM_QUIT, nor any other common result; and below
// 0x8000, since the dialog manager of Windows 95, 98 and ME is the 16-bit
// one, whose EndDialog carries a 16-bit int: the Draw call compares the low
// 16 bits alone.
const INT_PTR kSketchStored = 0x4F52;

INT_PTR CALLBACK SplashProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
