#include "orbitrace-render/history/text_decoder.h"

#include <errno.h>
#include <string.h>

namespace {

const char kReplacement[] = "\xEF\xBF\xBD";

// Follows a UTF-8 stream across blocks: `need` continuation bytes still to
// come for the character begun, whose smallest allowed second byte and
// largest are `low` and `high` (which rules out overlong forms, surrogates
// and code points past U+10FFFF).
struct Utf8Check {
  int need = 0;
  unsigned char low = 0x80, high = 0xBF;
  bool valid = true;
};

void CheckUtf8(Utf8Check *c, const unsigned char *data, size_t size) {
  for (size_t i = 0; i < size && c->valid; ++i) {
    const unsigned char b = data[i];
    if (c->need > 0) {
      c->valid = b >= c->low && b <= c->high;
      c->low = 0x80;
      c->high = 0xBF;
      --c->need;
    } else if (b < 0x80) {
    } else if (b >= 0xC2 && b <= 0xDF) {
      c->need = 1;
    } else if (b >= 0xE0 && b <= 0xEF) {
      c->need = 2;
      c->low = b == 0xE0 ? 0xA0 : 0x80;
      c->high = b == 0xED ? 0x9F : 0xBF;
    } else if (b >= 0xF0 && b <= 0xF4) {
      c->need = 3;
      c->low = b == 0xF0 ? 0x90 : 0x80;
      c->high = b == 0xF4 ? 0x8F : 0xBF;
    } else {
      c->valid = false;
    }
  }
}

const char *IconvName(TextEncoding encoding) {
  switch (encoding) {
  case TextEncoding::kUtf16Le:
    return "UTF-16LE";
  case TextEncoding::kUtf16Be:
    return "UTF-16BE";
  case TextEncoding::kWindows1252:
    return "WINDOWS-1252";
  default:
    return nullptr;
  }
}

} // namespace

TextEncoding DetectEncoding(const ByteSource &read) {
  static const size_t kBlock = 1 << 16;
  std::string block(kBlock, '\0');
  size_t got = read(&block[0], kBlock);
  TextEncoding bom = TextEncoding::kDetect;
  if (got >= 2 && block.compare(0, 2, "\xFF\xFE") == 0)
    bom = TextEncoding::kUtf16Le;
  else if (got >= 2 && block.compare(0, 2, "\xFE\xFF") == 0)
    bom = TextEncoding::kUtf16Be;
  else if (got >= 3 && block.compare(0, 3, "\xEF\xBB\xBF") == 0)
    bom = TextEncoding::kUtf8;
  if (bom != TextEncoding::kDetect)
    return bom;
  Utf8Check check;
  for (; got > 0 && check.valid; got = read(&block[0], kBlock))
    CheckUtf8(&check, reinterpret_cast<const unsigned char *>(block.data()),
              got);
  return check.valid && check.need == 0 ? TextEncoding::kUtf8
                                        : TextEncoding::kWindows1252;
}

bool OpenDecoder(TextDecoder *decoder, TextEncoding encoding) {
  decoder->encoding = encoding;
  decoder->pending.clear();
  const char *name = IconvName(encoding);
  if (!name)
    return true;
  decoder->cd = iconv_open("UTF-8", name);
  return decoder->cd != reinterpret_cast<iconv_t>(-1);
}

void Decode(TextDecoder *decoder, const char *data, size_t size, bool last,
            std::string *out) {
  if (decoder->cd == reinterpret_cast<iconv_t>(-1)) {
    out->append(data, size);
    return;
  }
  // The bytes left over from the last block go first.
  std::string input = decoder->pending;
  input.append(data, size);
  decoder->pending.clear();
  char *in = &input[0];
  size_t inLeft = input.size();
  // A unit is the smallest step past a byte sequence that is not text.
  const size_t unit = decoder->encoding == TextEncoding::kWindows1252 ? 1 : 2;
  while (inLeft > 0) {
    const size_t start = out->size();
    out->resize(start + inLeft * 3 + 16);
    char *o = &(*out)[start];
    size_t outLeft = out->size() - start;
    const size_t done = iconv(decoder->cd, &in, &inLeft, &o, &outLeft);
    out->resize(out->size() - outLeft);
    if (done != static_cast<size_t>(-1))
      break;
    if (errno == EINVAL && !last) {
      decoder->pending.assign(in, inLeft);
      break;
    }
    if (errno == E2BIG)
      continue;
    // Not text, or a character cut by the end of the input.
    out->append(kReplacement);
    const size_t skip = inLeft < unit ? inLeft : unit;
    in += skip;
    inLeft -= skip;
    iconv(decoder->cd, nullptr, nullptr, nullptr, nullptr);
  }
}

void CloseDecoder(TextDecoder *decoder) {
  if (decoder->cd != reinterpret_cast<iconv_t>(-1))
    iconv_close(decoder->cd);
  decoder->cd = reinterpret_cast<iconv_t>(-1);
  decoder->pending.clear();
}
