// The Draw external function.
#pragma once

#include "host/extern_call.h"

// Opens the sketch dialog for the parameter text and returns the chosen
// values as "h|v|hour|rim", or "$$002$$" for a parameter it cannot take and,
// at once, for a call made while a sketch dialog is open.
void ShowOrbitrace(FMHandle parameter, FMHandle result);
