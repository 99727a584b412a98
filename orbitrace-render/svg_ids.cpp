#include "orbitrace-render/svg_ids.h"

#include <ctype.h>

#include <map>

std::string SurfaceIdsFromOne(const std::string &svg) {
  static const char kWord[] = "surface";
  const size_t wordLength = sizeof kWord - 1;
  std::map<std::string, int> renumbered;
  std::string out;
  out.reserve(svg.size());
  size_t at = 0;
  for (size_t hit; (hit = svg.find(kWord, at)) != std::string::npos;) {
    size_t end = hit + wordLength;
    while (end < svg.size() && isdigit(static_cast<unsigned char>(svg[end])))
      ++end;
    out.append(svg, at, end - at);
    if (end > hit + wordLength) {
      const std::string old =
          svg.substr(hit + wordLength, end - hit - wordLength);
      const auto found =
          renumbered.emplace(old, static_cast<int>(renumbered.size()) + 1);
      out.resize(out.size() - old.size());
      out += std::to_string(found.first->second);
    }
    at = end;
  }
  out.append(svg, at, std::string::npos);
  return out;
}
