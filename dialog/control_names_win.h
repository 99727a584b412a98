// What keyboards and screen readers need of the sketch dialog, done when it
// opens: template 4009 itself stays as stored layouts know it.
#pragma once

#include <windows.h>

// Puts each label just before its combo box in window order, names the step
// buttons and gives the Horizontal box the keyboard focus.
void NameTheControls(HWND dialog);
