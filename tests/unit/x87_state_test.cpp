#include "host/x87_state.h"

#include <gtest/gtest.h>

#include "tests/unit/x87_words.h"

namespace {

#if defined(__i386__)
// The plug-in's 32-bit code computes only inside PinX87 (each way in from
// the host pins it), so the unit tests built the same way run the pure
// computations in that state too; a MinGW program starts at 64 bits.
class PinnedX87 : public ::testing::Environment {
public:
  void SetUp() override { PinX87(); }
};
const auto *const kPinnedX87 =
    ::testing::AddGlobalTestEnvironment(new PinnedX87);
#endif

TEST(PinnedControlWord, PinsPrecisionAndRoundingAndUnmasksNothing) {
  const struct {
    uint16_t host, pinned;
  } rows[] = {
      {0x027F, 0x027F}, // Windows' default already is the plug-in's
      {0x007F, 0x027F}, // 24 bits
      {0x037F, 0x027F}, // 64 bits
      {0x0C7F, 0x027F}, // toward zero
      {0x0872, 0x027F}, // upward, invalid, zero-divide and overflow unmasked
      {0x137F, 0x127F}, // the bits it has no business with stay
      {0x0000, 0x023F},
  };
  for (const auto &row : rows)
    EXPECT_EQ(row.pinned, PinnedControlWord(row.host))
        << std::hex << "host 0x" << row.host;
}

#ifdef ORBT_HAS_X87

// A division the x87 unit does itself (long double), in whatever precision
// the control word says.
long double Third() {
  volatile long double one = 1, three = 3;
  return one / three;
}

TEST(PinX87, ComputesInDoublePrecisionAndGivesTheHostsWordBack) {
  const uint16_t saved = X87Control();
  const long double doubleThird = static_cast<long double>(1.0 / 3.0);
  for (uint16_t host : {kX87Precision24, kX87Windows, kX87Precision64,
                        kX87TruncatingUnmasked}) {
    SetX87Control(host);
    const X87State saved87 = PinX87();
    const uint16_t inside = X87Control();
    const long double third = Third();
    RestoreX87(saved87);
    const uint16_t after = X87Control();
    SetX87Control(saved); // the checks run in the test's own state
    EXPECT_EQ(PinnedControlWord(host), inside) << std::hex << "host 0x" << host;
    EXPECT_TRUE(third == doubleThird)
        << std::hex << "host 0x" << host << ": 1/3 not rounded to double";
    EXPECT_EQ(host, after) << std::hex << "host 0x" << host;
  }
}

TEST(PinX87, StartsWithoutFlagsAndGivesTheHostsFlagsBack) {
  const uint16_t saved = X87Control();
  SetX87Control(kX87Windows);
  volatile long double one = 1, zero = 0;
  volatile long double infinite = one / zero; // zero-divide flag, masked
  (void)infinite;
  const uint16_t hostFlags = X87Status() & 0xFF;
  const X87State saved87 = PinX87();
  const uint16_t inside = X87Status() & 0xFF;
  volatile long double third = Third(); // inexact
  (void)third;
  const uint16_t afterWork = X87Status() & 0xFF;
  RestoreX87(saved87);
  const uint16_t after = X87Status() & 0xFF;
  SetX87Control(saved);
  EXPECT_EQ(0x04, hostFlags) << "precondition: only zero-divide raised";
  EXPECT_EQ(0, inside) << "flags the host left, inside the plug-in";
  EXPECT_EQ(0x20, afterWork) << "precondition: the plug-in's work is inexact";
  EXPECT_EQ(hostFlags, after) << "flags given back to the host";
}

TEST(PinX87FromLoop, ANestedLoopLendsWhatTheHostLastSet) {
  // A 24-bit host's call opens a dialog; in its loop the host moves to 64
  // bits; a window procedure of the dialog opens a prompt, in whose loop
  // the host moves to 53 bits.
  const uint16_t saved = X87Control();
  SetX87Control(kX87Precision24);
  X87State host = PinX87();
  gHostX87 = &host;
  LendX87ToLoop(*gHostX87);
  SetX87Control(kX87Precision64);
  X87LoopEntry entry;
  PinX87FromLoop(&entry);
  LendX87ToLoop(*gHostX87);
  const uint16_t inPrompt = X87Control();
  SetX87Control(kX87Windows);
  TakeX87FromLoop(gHostX87);
  RestoreX87ToLoop(entry);
  const uint16_t backInDialog = X87Control();
  TakeX87FromLoop(gHostX87);
  gHostX87 = nullptr;
  RestoreX87(host);
  const uint16_t after = X87Control();
  SetX87Control(saved);
  EXPECT_EQ(kX87Precision64, inPrompt) << std::hex << "in the prompt's loop";
  EXPECT_EQ(kX87Windows, backInDialog) << std::hex << "in the dialog's loop";
  EXPECT_EQ(kX87Windows, after) << std::hex << "after the call";
}

#endif

} // namespace
