#include "dialog/version_language.h"

namespace {

uint16_t Word(const uint8_t *at) {
  return static_cast<uint16_t>(at[0] | (at[1] << 8));
}

size_t Align4(size_t offset) { return (offset + 3) & ~size_t(3); }

// One node: wLength, wValueLength, wType, the key, its value and children.
struct Node {
  size_t end;      // past the node's last byte
  size_t value;    // where its value starts
  size_t children; // where its first child starts
  size_t valueBytes;
  bool keyMatches;
};

bool ReadNode(const uint8_t *block, size_t offset, size_t limit,
              const char *key, Node *node) {
  if (offset + 6 > limit)
    return false;
  const size_t length = Word(block + offset);
  if (length < 6 || offset + length > limit)
    return false;
  node->end = offset + length;
  // A text value (wType 1) counts UTF-16 units, a binary one bytes.
  const uint16_t valueLength = Word(block + offset + 2);
  const bool text = Word(block + offset + 4) == 1;
  node->valueBytes = text ? valueLength * size_t(2) : valueLength;
  const size_t key0 = offset + 6;
  size_t at = key0;
  while (at + 2 <= node->end && Word(block + at) != 0)
    at += 2;
  if (at + 2 > node->end)
    return false;
  size_t i = 0;
  while (key0 + 2 * i < at && key[i] != '\0' &&
         Word(block + key0 + 2 * i) == static_cast<uint8_t>(key[i]))
    ++i;
  node->keyMatches = key0 + 2 * i == at && key[i] == '\0';
  node->value = Align4(at + 2);
  node->children = Align4(node->value + node->valueBytes);
  return node->value + node->valueBytes <= node->end;
}

// The child of [from, limit) named `key`.
bool FindChild(const uint8_t *block, size_t from, size_t limit, const char *key,
               Node *found) {
  for (size_t at = from; at < limit;) {
    if (!ReadNode(block, at, limit, key, found))
      return false;
    if (found->keyMatches)
      return true;
    at = Align4(found->end);
  }
  return false;
}

} // namespace

bool VersionLanguage(const uint8_t *block, size_t size, uint16_t *language) {
  if (block == nullptr)
    return false;
  Node root, files, translation;
  if (!ReadNode(block, 0, size, "VS_VERSION_INFO", &root) || !root.keyMatches ||
      !FindChild(block, root.children, root.end, "VarFileInfo", &files) ||
      !FindChild(block, files.children, files.end, "Translation",
                 &translation) ||
      translation.valueBytes < 2)
    return false;
  *language = Word(block + translation.value);
  return true;
}
