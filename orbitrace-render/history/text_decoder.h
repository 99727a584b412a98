// The export's text as UTF-8, whatever character set the host wrote it in,
// converted a block at a time so that memory does not grow with the file.
#pragma once

#include "orbitrace-render/history/read_settings.h"

#include <iconv.h>
#include <stddef.h>

#include <functional>
#include <string>

// Up to `size` bytes of the input into `buffer`; 0 at its end.
using ByteSource = std::function<size_t(char *buffer, size_t size)>;

// The character set of the whole input: the one its byte-order mark names
// (UTF-8, UTF-16 LE or BE), else UTF-8 when every byte sequence is valid
// UTF-8, else Windows-1252.
TextEncoding DetectEncoding(const ByteSource &read);

// A conversion to UTF-8 under way. UTF-8 passes through as it is; a byte
// sequence that is not text in the character set becomes U+FFFD.
struct TextDecoder {
  TextEncoding encoding = TextEncoding::kUtf8;
  iconv_t cd = reinterpret_cast<iconv_t>(-1);
  std::string pending; // the start of a character cut at a block's end
};

// False when the C library cannot convert from that character set.
bool OpenDecoder(TextDecoder *decoder, TextEncoding encoding);
// Appends the UTF-8 of the next block to `out`; `last` for the final one.
void Decode(TextDecoder *decoder, const char *data, size_t size, bool last,
            std::string *out);
void CloseDecoder(TextDecoder *decoder);
