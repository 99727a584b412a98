// The export's text as UTF-8, whatever character set the host wrote it in,
// converted a block at a time so that memory does not grow with the file.
#pragma once

#include "orbitrace-render/history/read_settings.h"

#include <stddef.h>

#include <functional>
#include <string>

// Up to `size` bytes of the input into `buffer`; 0 at its end.
using ByteSource = std::function<size_t(char *buffer, size_t size)>;

// What told the character set.
enum class EncodingEvidence {
  kGiven,          // --encoding
  kByteOrderMark,  // UTF-8, UTF-16 LE or BE
  kZeroBytes,      // UTF-16 without a mark: every second byte zero
  kValidUtf8,      // every byte sequence is UTF-8
  kLettersInWords, // the code page whose letters fit the words
  kAssumed,        // no letter outside ASCII: the host's Windows ANSI
};

// The character set of the whole input: the one its byte-order mark names;
// else UTF-16 when every second byte is zero; else UTF-8 when every byte
// sequence is valid UTF-8; else the one of Windows-1252, Mac Roman, CP850
// and CP437 that puts letters inside words, of the case the word calls
// for, where the others put symbols or letters of the wrong case; a byte
// that one of them reads as a space decides nothing. With no byte over 127
// inside a word, Windows-1252, assumed. A code page that leaves one of the
// bytes undefined is out. False, with a
// message that shows a word as each reading gives it and names
// --encoding, when no reading stands out.
bool DetectEncoding(const ByteSource &read, TextEncoding *encoding,
                    EncodingEvidence *evidence, std::string *error);

// The code point of a byte in a single-byte code page; 0 for a byte over
// 127 that it leaves undefined.
unsigned SingleByteCode(TextEncoding encoding, unsigned char byte);

// A conversion to UTF-8 under way. A byte sequence that is not text in the
// character set becomes U+FFFD, so that the text is always valid UTF-8.
struct TextDecoder {
  TextEncoding encoding = TextEncoding::kUtf8;
  std::string pending; // the start of a character cut at a block's end
};

// False for kDetect, which is no character set to convert from.
bool OpenDecoder(TextDecoder *decoder, TextEncoding encoding);
// Appends the UTF-8 of the next block to `out`; `last` for the final one.
void Decode(TextDecoder *decoder, const char *data, size_t size, bool last,
            std::string *out);
void CloseDecoder(TextDecoder *decoder);

// How many bytes of the input the character that `lead` begins in the
// decoded UTF-8 took, so that limits count the file's own bytes.
size_t RawBytes(TextEncoding encoding, unsigned char lead);
