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

// All eight registers loaded, as code that used MMX without EMMS leaves
// them, against the calling convention: 1, log2(10), log2(e), pi,
// log10(2), ln(2), 0 and 1 again, the last on top.
inline void FillX87Stack() {
  __asm__ __volatile__(
      "fld1\n\tfldl2t\n\tfldl2e\n\tfldpi\n\tfldlg2\n\tfldln2\n\tfldz\n\tfld1");
}

// Pops the eight registers into `values`, top first, and says whether they
// are the ones FillX87Stack loaded.
inline bool DrainX87Stack(long double values[8]) {
  __asm__ __volatile__("fstpt %0\n\tfstpt %1\n\tfstpt %2\n\tfstpt %3\n\t"
                       "fstpt %4\n\tfstpt %5\n\tfstpt %6\n\tfstpt %7"
                       : "=m"(values[0]), "=m"(values[1]), "=m"(values[2]),
                         "=m"(values[3]), "=m"(values[4]), "=m"(values[5]),
                         "=m"(values[6]), "=m"(values[7]));
  long double loaded[8];
  __asm__ __volatile__("fld1\n\tfldl2t\n\tfldl2e\n\tfldpi\n\tfldlg2\n\tfldln2\n"
                       "\tfldz\n\tfld1\n\t"
                       "fstpt %0\n\tfstpt %1\n\tfstpt %2\n\tfstpt %3\n\t"
                       "fstpt %4\n\tfstpt %5\n\tfstpt %6\n\tfstpt %7"
                       : "=m"(loaded[0]), "=m"(loaded[1]), "=m"(loaded[2]),
                         "=m"(loaded[3]), "=m"(loaded[4]), "=m"(loaded[5]),
                         "=m"(loaded[6]), "=m"(loaded[7]));
  for (int i = 0; i < 8; ++i)
    if (!(values[i] == loaded[i]))
      return false;
  return true;
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
