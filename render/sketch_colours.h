// The sketch's colours, for its drawing and for whoever checks its pixels.
#pragma once

#include <windows.h>

const COLORREF kDiscColour = RGB(230, 87, 26);
const COLORREF kCupColour = RGB(255, 255, 0);
// The hour figures once the sketch is confirmed.
const COLORREF kGreyedLabelColour = RGB(209, 209, 209);
