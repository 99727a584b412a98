#include "host/x87_state.h"

// The instructions themselves, not the runtime's _controlfp: that one sets
// the SSE unit too where there is one, reports the two units together, and
// cannot give back the exception flags. These out-of-line functions also
// keep the compiler from moving the plug-in's arithmetic across them.

X87State *gHostX87;

uint16_t SavedControlWord(const X87State &saved) {
  return static_cast<uint16_t>(saved.environment[0] & 0xFFFFu);
}

uint16_t PinnedControlWord(uint16_t host) {
  uint16_t control = host & ~(kX87PrecisionMask | kX87RoundingMask);
  return control | kX87Precision53 | kX87ExceptionMasks;
}

void PinX87FromLoop(X87LoopEntry *entry) {
  entry->loop = PinX87();
  entry->outer = gHostX87;
  if (gHostX87 != nullptr)
    gHostX87 = &entry->loop;
}

void RestoreX87ToLoop(const X87LoopEntry &entry) {
  gHostX87 = entry.outer;
  RestoreX87(entry.loop);
}

#if defined(__i386__) || defined(__x86_64__)

X87State PinX87() {
  X87State saved;
  // FNSAVE also resets the unit: registers empty, flags clear, control
  // word 0x037F with every exception masked, so loading the pinned word
  // fires nothing.
  __asm__ __volatile__("fnsave %0" : "=m"(saved));
  const uint16_t pinned = PinnedControlWord(SavedControlWord(saved));
  __asm__ __volatile__("fldcw %0" : : "m"(pinned) : "memory");
  return saved;
}

void RestoreX87(const X87State &saved) {
  // What the host had pending fires in the host, at its next x87
  // instruction, as it would have.
  __asm__ __volatile__("frstor %0" : : "m"(saved) : "memory");
}

// Exception flags, stack fault and error summary: the status word's low
// byte. Its stack top and condition codes go with the registers.
static const uint32_t kX87StatusFlags = 0xFFu;

void LendX87ToLoop(const X87State &host) {
  uint32_t environment[7];
  // A reset unit's environment (every register empty, every exception
  // masked, so loading it back fires nothing here) with the host's words.
  __asm__ __volatile__("fninit\n\tfnstenv %0" : "=m"(environment));
  environment[0] = (environment[0] & 0xFFFF0000u) | SavedControlWord(host);
  environment[1] = (environment[1] & ~kX87StatusFlags) |
                   (host.environment[1] & kX87StatusFlags);
  __asm__ __volatile__("fldenv %0" : : "m"(environment) : "memory");
}

void TakeX87FromLoop(X87State *host) {
  const X87State loop = PinX87();
  host->environment[0] =
      (host->environment[0] & 0xFFFF0000u) | SavedControlWord(loop);
  host->environment[1] = (host->environment[1] & ~kX87StatusFlags) |
                         (loop.environment[1] & kX87StatusFlags);
}

#else // no x87 unit: nothing to pin

X87State PinX87() { return X87State{}; }
void RestoreX87(const X87State &) {}
void LendX87ToLoop(const X87State &) {}
void TakeX87FromLoop(X87State *) {}

#endif
