// cairo's SVG documents made fit to sit side by side in one HTML page.
//
// Every document cairo writes numbers its clip paths and glyphs from 1
// again, and ids are shared by the whole page: a second sketch would clip
// its cup with the first one's clip path. So each picture's ids get a
// prefix of their own. The glyphs of the hour labels and the chart are the
// same in every picture; each outline is kept once per page, where it is
// first drawn, and later pictures refer to that copy.
#pragma once

#include <string>
#include <unordered_map>

struct SvgGlyphs {
  std::unordered_map<std::string, std::string> idByOutline;
  int count = 0;
};

// The <svg> element of `document` with the XML prologue left out, the
// given display size in CSS pixels, ids prefixed with `prefix` and glyphs
// shared through `glyphs`.
std::string InlineSvg(const std::string &document, const std::string &prefix,
                      double width, double height, SvgGlyphs *glyphs);
