#include "sketch/full_width.h"

void FoldFullWidthNumber(uint16_t *text, int length) {
  for (int i = 0; i < length; ++i) {
    const uint16_t c = text[i];
    if (c >= 0xFF10 && c <= 0xFF19) // FULLWIDTH DIGIT ZERO to NINE
      text[i] = static_cast<uint16_t>('0' + (c - 0xFF10));
    else if (c == 0xFF0E) // FULLWIDTH FULL STOP
      text[i] = '.';
    else if (c == 0xFF0B) // FULLWIDTH PLUS SIGN
      text[i] = '+';
    // FULLWIDTH HYPHEN-MINUS, and MINUS SIGN, which code page 932's 81 7C
    // is on some systems.
    else if (c == 0xFF0D || c == 0x2212)
      text[i] = '-';
  }
}
