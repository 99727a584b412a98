// Reading the value texts as numbers, independent of the process's locale.
#pragma once

// The double that atof gives for `text` in the "C" locale, bit for bit,
// whatever locale the process has: leading white space skipped, an optional
// sign, then the longest decimal prefix, correctly rounded. Like the
// system's msvcrt.dll, it reads no hexadecimal, "inf" or "nan" (0 for
// those), and 0 for a null or number-less text.
double NumberFromText(const char *text);
