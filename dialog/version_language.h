// The language a module's version resource names.
#pragma once

#include <stddef.h>
#include <stdint.h>

// The first language of the \VarFileInfo\Translation value of `block`, a
// version resource as a 32-bit module holds it (VS_VERSIONINFO, UTF-16 keys,
// each node 32-bit aligned from the block's start); false if it has none or
// the block is cut short.
bool VersionLanguage(const uint8_t *block, size_t size, uint16_t *language);
