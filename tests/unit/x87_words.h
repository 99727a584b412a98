// The x87 control and status words, read and set by the tests themselves
// (not through the code under test). Only on x86, where the unit exists.
#pragma once

#include <stdint.h>

#if defined(__i386__) || defined(__x86_64__)
#define ORBT_HAS_X87 1

inline uint16_t X87Control() {
  uint16_t control;
  __asm__ __volatile__("fnstcw %0" : "=m"(control));
  return control;
}

inline void SetX87Control(uint16_t control) {
  __asm__ __volatile__("fnclex\n\tfldcw %0" : : "m"(control) : "memory");
}

inline uint16_t X87Status() {
  uint16_t status;
  __asm__ __volatile__("fnstsw %0" : "=m"(status));
  return status;
}

// x87 control words a host may leave: precision 24, 53 or 64 bits, and
// one that also rounds toward zero and has unmasked exceptions.
enum : uint16_t {
  kX87Precision24 = 0x007F,
  kX87Windows = 0x027F, // 53 bits, nearest, all masked: Windows' default
  kX87Precision64 = 0x037F,
  kX87TruncatingUnmasked = 0x0C72, // 24 bits, toward zero, IM ZM OM unmasked
};

#endif
