// The choice offered when OK cannot store the picture with the values.
#pragma once

#include <windows.h>

// The buffer the prompt's text is read into, in the code page: every
// translation fits it with room to spare (tests/wine/dialog_test.cpp).
enum { kPromptTextSize = 512 };

// Shows the prompt over `dialog` with the string `why` and returns true if
// the user chose "Try again", false for "Close without storing" and for a
// prompt ended any other way.
bool AskToTryAgain(HWND dialog, UINT why);
