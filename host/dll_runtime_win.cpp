// What the C runtime gave the plug-in, provided by the plug-in itself: its
// entry point and the memory and string functions the compiler and the
// code call. The DLL links no C runtime, so that it imports only KERNEL32,
// USER32 and GDI32 (Windows 95 as first shipped has no msvcrt.dll) and has
// no TLS directory (Windows 95 fails to load a DLL with static TLS).
// Linked into the DLL only: the test programs keep their runtime.
//
// Built with -fno-tree-loop-distribute-patterns (cmake/Win32.cmake), so
// that the compiler does not turn these loops into calls to themselves.
#include <stddef.h>

extern "C" {

// The plug-in has no load-time work, and nothing to do per thread: every
// call comes on the host's thread and keeps no state but static data.
int __stdcall DllMainCRTStartup(void * /*module*/, unsigned long /*reason*/,
                                void * /*reserved*/) {
  return 1;
}

void *memcpy(void *dst, const void *src, size_t n) {
  unsigned char *d = static_cast<unsigned char *>(dst);
  const unsigned char *s = static_cast<const unsigned char *>(src);
  while (n-- != 0)
    *d++ = *s++;
  return dst;
}

void *memmove(void *dst, const void *src, size_t n) {
  unsigned char *d = static_cast<unsigned char *>(dst);
  const unsigned char *s = static_cast<const unsigned char *>(src);
  if (d < s) {
    while (n-- != 0)
      *d++ = *s++;
  } else {
    while (n != 0) {
      --n;
      d[n] = s[n];
    }
  }
  return dst;
}

void *memset(void *dst, int value, size_t n) {
  unsigned char *d = static_cast<unsigned char *>(dst);
  while (n-- != 0)
    *d++ = static_cast<unsigned char>(value);
  return dst;
}

int memcmp(const void *a, const void *b, size_t n) {
  const unsigned char *p = static_cast<const unsigned char *>(a);
  const unsigned char *q = static_cast<const unsigned char *>(b);
  for (; n != 0; --n, ++p, ++q)
    if (*p != *q)
      return *p < *q ? -1 : 1;
  return 0;
}

size_t strlen(const char *text) {
  size_t n = 0;
  while (text[n] != '\0')
    ++n;
  return n;
}

size_t strnlen(const char *text, size_t limit) {
  size_t n = 0;
  while (n < limit && text[n] != '\0')
    ++n;
  return n;
}

} // extern "C"
