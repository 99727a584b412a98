// Numbers typed through an East Asian input method, read as ASCII.
#pragma once

#include <stdint.h>

// Replaces, in the first `length` UTF-16 units of `text`, the full-width
// digits, full stop, plus and hyphen-minus and the minus sign with their
// ASCII forms; every other unit stays.
void FoldFullWidthNumber(uint16_t *text, int length);
