// The choice offered when OK cannot store the picture with the values.
#pragma once

#include <windows.h>

// Shows the prompt over `dialog` with the string `why` and returns true if
// the user chose "Try again", false for "Close without storing" and for a
// prompt ended any other way.
bool AskToTryAgain(HWND dialog, UINT why);
