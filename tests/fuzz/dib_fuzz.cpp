// LocateDIBBits on arbitrary blocks: it reads only the block, and whenever it
// accepts one, the unchecked readers agree with it and stay inside the block.
#include "export/dib_header.h"

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

namespace {

void Check(bool ok, const char *what) {
  if (!ok) {
    fprintf(stderr, "dib_fuzz: %s\n", what);
    abort();
  }
}

uint32_t HeaderSize(const char *block) {
  const unsigned char *b = reinterpret_cast<const unsigned char *>(block);
  return static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) |
         (static_cast<uint32_t>(b[2]) << 16) |
         (static_cast<uint32_t>(b[3]) << 24);
}

// Exactly `length` bytes on the heap, so any read past them is reported.
bool Locate(const char *data, size_t length, size_t *offset) {
  std::vector<char> copy(data, data + length);
  return LocateDIBBits(length ? copy.data() : NULL, length, offset);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size) {
  // libFuzzer's buffer is already exactly `size` bytes long.
  const char *data = reinterpret_cast<const char *>(bytes);
  size_t offset = static_cast<size_t>(-1);
  const bool ok = LocateDIBBits(size ? data : NULL, size, &offset);

  if (!ok) {
    Check(offset == static_cast<size_t>(-1), "offset set on refusal");
    // A refusal of a plausible header must mean its table does not fit the
    // block, or does not fit PaletteSize's 16 bits.
    if (size >= 4) {
      const uint32_t header = HeaderSize(data);
      if (header >= kCoreHeaderSize && header <= kMaxHeaderSize &&
          header <= size) {
        const size_t table = static_cast<size_t>(DIBNumColors(data)) *
                             (header == kInfoHeaderSize ? 4 : 3);
        Check(table > 0xFFFF || header + table > size,
              "plausible block refused");
      }
    }
    return 0;
  }

  const uint32_t header = HeaderSize(data);
  Check(header >= kCoreHeaderSize && header <= kMaxHeaderSize,
        "implausible header size accepted");
  Check(header <= size && offset <= size, "accepted past the block");

  // The unchecked readers on an exact copy: ASan reports any stray read.
  std::vector<char> block(data, data + size);
  char *dib = block.data();
  const unsigned entry = header == kInfoHeaderSize ? 4 : 3;
  Check(PaletteSize(dib) == DIBNumColors(dib) * entry,
        "PaletteSize disagrees with DIBNumColors");
  Check(offset == header + PaletteSize(dib), "offset is not header + table");
  Check(FindDIBBits(dib) == dib + offset, "FindDIBBits disagrees");

  // Only the bytes before the rows matter: cutting the block there keeps
  // it acceptable, one byte less does not.
  size_t again = 0;
  Check(Locate(data, offset, &again) && again == offset,
        "refused once cut to header and table");
  Check(!Locate(data, offset - 1, &again), "accepted without its last byte");
  return 0;
}
