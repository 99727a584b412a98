// The x87 unit's state: the host's, and the one the plug-in computes in.
//
// The plug-in is built for x87 arithmetic, so that it runs on the
// processors its hosts run on, and a double operation on the x87 unit
// rounds to the precision its control word says. A host (or a driver or
// another plug-in in its process) may leave that at 24 or 64 bits, which
// moves a truncated coordinate by a pixel. So while the plug-in computes,
// the unit is pinned to 53 bits, rounding to nearest, every exception
// masked; whatever the host had is given back when the plug-in returns.
#pragma once

#include <stdint.h>

struct X87State {
  uint16_t control;
  uint16_t status;
};

// Control word bits the plug-in pins: precision 53 bits (PC = 10),
// rounding to nearest (RC = 00) and every exception masked.
enum : uint16_t {
  kX87PrecisionMask = 0x0300,
  kX87Precision53 = 0x0200,
  kX87RoundingMask = 0x0C00,
  kX87ExceptionMasks = 0x003F,
};

// The plug-in's control word made from the host's: only precision,
// rounding and the exception masks change; masks are only ever set.
uint16_t PinnedControlWord(uint16_t host);

// At each way in from the host (the entry point, each window procedure),
// with RestoreX87 at its way out. A scoped object would do it too, but its
// destructor would bring the C++ unwinder and its runtime into the DLL.
//
// Saves the x87 state the caller left and sets the plug-in's: the pinned
// control word, and no exception flag raised (so that a flag the host left
// for an unmasked exception does not fire inside the plug-in).
X87State PinX87();
// Gives back a state that PinX87 saved: its control word and its exception
// flags, so that flags the plug-in raised meanwhile (inexact, at least) do
// not fire in the host under exceptions it had unmasked.
void RestoreX87(const X87State &saved);

// The host's state saved by the entry point for the call being served,
// null outside a call. A modal loop inside the call hands it back while the
// host's windows and timers run, and records what they leave.
extern X87State *gHostX87;
