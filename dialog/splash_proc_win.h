// The sketch dialog's procedure.
#pragma once

#include <windows.h>

// What the dialog ends with when OK has stored the picture with the values;
// only then are the values returned. Not IDOK, which the dialog manager
// gives a dialog ended by WM_QUIT, nor any other common result.
const INT_PTR kSketchStored = 0x4F524254;

INT_PTR CALLBACK SplashProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
