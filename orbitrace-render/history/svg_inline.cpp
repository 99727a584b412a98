#include "orbitrace-render/history/svg_inline.h"

#include <stdio.h>
#include <string.h>

namespace {

const char kSymbolOpen[] = "<symbol";
const char kSymbolClose[] = "</symbol>";

// The value of attribute `name` in the tag from `from` to `end`, with the
// position of the value.
bool Attribute(const std::string &text, size_t from, size_t end,
               const char *name, size_t *at, size_t *size) {
  const std::string key = std::string(" ") + name + "=\"";
  const size_t found = text.find(key, from);
  if (found == std::string::npos || found >= end)
    return false;
  *at = found + key.size();
  const size_t close = text.find('"', *at);
  if (close == std::string::npos || close > end)
    return false;
  *size = close - *at;
  return true;
}

// Rewrites every id and every reference to one (href="#id", url(#id)); the
// glyphs' ids by `glyphIds`, the others with the prefix.
std::string
RenameIds(const std::string &text, const std::string &prefix,
          const std::unordered_map<std::string, std::string> &glyphIds) {
  std::string out;
  out.reserve(text.size() + text.size() / 8);
  size_t at = 0;
  for (;;) {
    size_t id = text.find(" id=\"", at);
    size_t ref = text.find("href=\"#", at);
    size_t url = text.find("url(#", at);
    size_t next = std::min(id, std::min(ref, url));
    if (next == std::string::npos)
      break;
    const size_t start = next + (next == ref ? 7 : 5);
    const size_t end = text.find_first_of(next == url ? ")" : "\"", start);
    if (end == std::string::npos)
      break;
    out.append(text, at, start - at);
    const std::string name = text.substr(start, end - start);
    auto glyph = glyphIds.find(name);
    out += glyph != glyphIds.end() ? glyph->second : prefix + name;
    at = end;
  }
  out.append(text, at, std::string::npos);
  return out;
}

} // namespace

std::string InlineSvg(const std::string &document, const std::string &prefix,
                      double width, double height, SvgGlyphs *glyphs) {
  const size_t svg = document.find("<svg");
  if (svg == std::string::npos)
    return std::string();
  std::string text = document.substr(svg);

  // Glyph outlines: the first of each kind is renamed and kept, the others
  // taken out and pointed at it.
  std::unordered_map<std::string, std::string> glyphIds;
  std::string kept;
  size_t at = 0;
  for (;;) {
    const size_t open = text.find(kSymbolOpen, at);
    if (open == std::string::npos)
      break;
    const size_t close = text.find(kSymbolClose, open);
    const size_t tagEnd = text.find('>', open);
    size_t idAt, idSize;
    if (close == std::string::npos ||
        !Attribute(text, open, tagEnd, "id", &idAt, &idSize))
      break;
    size_t end = close + strlen(kSymbolClose);
    // The outline is the symbol without its id.
    const std::string outline = text.substr(open, idAt - open) +
                                text.substr(idAt + idSize, end - idAt - idSize);
    const std::string id = text.substr(idAt, idSize);
    kept.append(text, at, open - at);
    auto known = glyphs->idByOutline.find(outline);
    if (known != glyphs->idByOutline.end()) {
      glyphIds[id] = known->second;
      if (end < text.size() && text[end] == '\n')
        ++end; // no empty line where it was
    } else {
      const std::string shared = "glyph-" + std::to_string(++glyphs->count);
      glyphs->idByOutline.emplace(outline, shared);
      glyphIds[id] = shared;
      kept.append(text, open, end - open);
    }
    at = end;
  }
  kept.append(text, at, std::string::npos);

  // The root element's size in CSS pixels instead of cairo's points.
  const size_t rootEnd = kept.find('>');
  char size[32];
  size_t valueAt, valueSize;
  if (Attribute(kept, 0, rootEnd, "height", &valueAt, &valueSize)) {
    snprintf(size, sizeof size, "%.6g", height);
    kept.replace(valueAt, valueSize, size);
  }
  if (Attribute(kept, 0, kept.find('>'), "width", &valueAt, &valueSize)) {
    snprintf(size, sizeof size, "%.6g", width);
    kept.replace(valueAt, valueSize, size);
  }
  return RenameIds(kept, prefix, glyphIds);
}
