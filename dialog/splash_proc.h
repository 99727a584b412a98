// The sketch dialog's procedure.
#pragma once

#include <windows.h>

INT_PTR CALLBACK SplashProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
