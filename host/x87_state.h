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

// The whole x87 state as FNSAVE stores it (32-bit protected-mode layout):
// the environment (control, status and tag words, last instruction and
// operand) and the eight registers.
struct X87State {
  uint32_t environment[7];
  uint8_t registers[80];
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
// Saves the whole x87 state the caller left and starts the plug-in's from
// a reset unit: an empty register stack (a caller may break the calling
// convention and leave values, as code that used MMX without EMMS leaves
// all eight, and every load would then give a NaN), no exception flag
// raised (one the host left for an unmasked exception would fire inside
// the plug-in), and the pinned control word.
X87State PinX87();
// Gives back the whole state that PinX87 saved: control word, exception
// flags and register stack, so that flags the plug-in raised meanwhile
// (inexact, at least) do not fire in the host under exceptions it had
// unmasked.
void RestoreX87(const X87State &saved);
// The control word in a saved state.
uint16_t SavedControlWord(const X87State &saved);

// Around a modal loop inside a host's call, which runs the host's own
// windows and timers and the system's code: LendX87ToLoop sets the host's
// control word and exception flags on an empty register stack, as the
// calling convention has it at any call (the host's registers stay saved
// for the way out); TakeX87FromLoop records in `host` the control word
// and flags the loop left, which the way out gives back, and pins the
// plug-in's state again.
void LendX87ToLoop(const X87State &host);
void TakeX87FromLoop(X87State *host);

// The host's state for a modal loop about to run inside the call being
// served, null outside a call: the one the entry point saved, or, inside a
// window procedure called from a modal loop, the one that loop left there
// (PinX87FromLoop). A modal loop hands it back while the host's windows and
// timers run, and records what they leave.
//
// Some of the host's code still runs in the pinned state, called
// synchronously from inside the plug-in: EndDialog re-enables and
// activates the owner (its WM_ENABLE, WM_ACTIVATE and focus messages), and
// EmptyClipboard sends WM_DESTROYCLIPBOARD to the clipboard's previous
// owner. The pinned word is Windows' default (53 bits, nearest, every
// exception masked), the one a host that keeps the default computes in,
// so that is harmless for it.
extern X87State *gHostX87;

// At each way in from a modal loop inside a host's call (a window
// procedure), with RestoreX87ToLoop at its way out: pins the plug-in's
// state as PinX87 does, and makes the state the loop left the host's for
// any modal loop this procedure runs in turn (a prompt's), so that the
// host's code there runs in what it last set, and what it sets there goes
// back to the interrupted loop and, at the call's end, to the host.
struct X87LoopEntry {
  X87State loop;
  X87State *outer;
};
void PinX87FromLoop(X87LoopEntry *entry);
void RestoreX87ToLoop(const X87LoopEntry &entry);
