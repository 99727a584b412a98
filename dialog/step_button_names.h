// Each step button and the string that names it for screen readers: the
// dialog gives the buttons these names, and its test reads them back.
#pragma once

#include "resources/orbitrace_res.h"

// The buffer a name is read into, in the code page: every translation fits
// it with room to spare (tests/wine/dialog_test.cpp).
enum { kStepNameSize = 64 };

struct StepButtonName {
  int button;
  unsigned name;
};

constexpr StepButtonName kStepButtonNames[] = {
    {IDC_HORIZONTAL_UP, IDS_HORIZONTAL_UP},
    {IDC_HORIZONTAL_DOWN, IDS_HORIZONTAL_DOWN},
    {IDC_VERTICAL_UP, IDS_VERTICAL_UP},
    {IDC_VERTICAL_DOWN, IDS_VERTICAL_DOWN},
    {IDC_LOCATION_UP, IDS_LOCATION_UP},
    {IDC_LOCATION_DOWN, IDS_LOCATION_DOWN},
    {IDC_RIM_UP, IDS_RIM_UP},
    {IDC_RIM_DOWN, IDS_RIM_DOWN},
};
