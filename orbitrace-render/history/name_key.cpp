#include "orbitrace-render/history/name_key.h"

#include <stdlib.h>

#include <utf8proc.h>

std::string ComposedText(const std::string &text) {
  // ASCII is its own normal form, and most names are.
  bool ascii = true;
  for (char c : text)
    ascii = ascii && static_cast<unsigned char>(c) < 0x80;
  if (ascii)
    return text;
  utf8proc_uint8_t *composed = nullptr;
  const utf8proc_ssize_t n = utf8proc_map(
      reinterpret_cast<const utf8proc_uint8_t *>(text.data()),
      static_cast<utf8proc_ssize_t>(text.size()), &composed,
      static_cast<utf8proc_option_t>(UTF8PROC_STABLE | UTF8PROC_COMPOSE));
  if (n < 0)
    return text;
  std::string result(reinterpret_cast<const char *>(composed),
                     static_cast<size_t>(n));
  free(composed);
  return result;
}

std::string FoldedName(const std::string &text) {
  utf8proc_uint8_t *folded = nullptr;
  const utf8proc_ssize_t n =
      utf8proc_map(reinterpret_cast<const utf8proc_uint8_t *>(text.data()),
                   static_cast<utf8proc_ssize_t>(text.size()), &folded,
                   static_cast<utf8proc_option_t>(
                       UTF8PROC_STABLE | UTF8PROC_COMPOSE | UTF8PROC_CASEFOLD));
  std::string name = n < 0 ? text
                           : std::string(reinterpret_cast<const char *>(folded),
                                         static_cast<size_t>(n));
  free(folded);
  std::string out;
  for (char c : name) {
    const bool blank = c == ' ' || c == '\t';
    if (blank && (out.empty() || out.back() == ' '))
      continue;
    out.push_back(blank ? ' ' : c);
  }
  if (!out.empty() && out.back() == ' ')
    out.pop_back();
  return out;
}
