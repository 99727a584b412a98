#include "host/x87_state.h"

// The instructions themselves, not the runtime's _controlfp: that one sets
// the SSE unit too where there is one, reports the two units together, and
// cannot give back the exception flags. These out-of-line functions also
// keep the compiler from moving the plug-in's arithmetic across them.

X87State *gHostX87;

uint16_t PinnedControlWord(uint16_t host) {
  uint16_t control = host & ~(kX87PrecisionMask | kX87RoundingMask);
  return control | kX87Precision53 | kX87ExceptionMasks;
}

#if defined(__i386__) || defined(__x86_64__)

X87State PinX87() {
  X87State saved;
  __asm__ __volatile__("fnstcw %0" : "=m"(saved.control));
  __asm__ __volatile__("fnstsw %0" : "=m"(saved.status));
  // Cleared before the new control word is loaded, which would otherwise
  // fire a pending exception; no control word the plug-in loads unmasks one.
  const uint16_t pinned = PinnedControlWord(saved.control);
  __asm__ __volatile__("fnclex\n\tfldcw %0" : : "m"(pinned) : "memory");
  return saved;
}

void RestoreX87(const X87State &saved) {
  // The environment as the 32-bit protected-mode layout stores it: control
  // word in the first 32-bit slot, status word in the second. Storing it
  // masks every exception, so loading it back fires nothing here; what the
  // host had pending fires in the host, as it would have.
  uint32_t environment[7];
  __asm__ __volatile__("fnstenv %0" : "=m"(environment));
  environment[0] = (environment[0] & 0xFFFF0000u) | saved.control;
  // Exception flags, stack fault and error summary: the low byte.
  environment[1] = (environment[1] & ~0xFFu) | (saved.status & 0xFFu);
  __asm__ __volatile__("fldenv %0" : : "m"(environment) : "memory");
}

#else // no x87 unit: nothing to pin

X87State PinX87() { return X87State{0, 0}; }
void RestoreX87(const X87State &) {}

#endif
