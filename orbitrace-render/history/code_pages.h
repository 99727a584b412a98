// The single-byte code pages the visit history reads, as tables of their
// upper halves; the lower halves are ASCII.
#pragma once

#include "orbitrace-render/history/read_settings.h"

// The code point of a byte in a single-byte code page; 0 for a byte over
// 127 that it leaves undefined, and for a character set that is not one.
unsigned SingleByteCode(TextEncoding encoding, unsigned char byte);
