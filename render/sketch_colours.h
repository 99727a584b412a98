// The sketch's colours, for the plug-in's drawing, for the renderer that
// draws the same picture off Windows, and for whoever checks its pixels. In
// the platform's COLORREF layout (0x00BBGGRR), without a Windows header.
#pragma once

#include <stdint.h>

constexpr uint32_t SketchRgb(uint32_t r, uint32_t g, uint32_t b) {
  return r | g << 8 | b << 16;
}

constexpr uint32_t kDiscColour = SketchRgb(230, 87, 26);
constexpr uint32_t kCupColour = SketchRgb(255, 255, 0);
// The hour figures on the white sketch area, and under the grey ones of
// the exported picture.
constexpr uint32_t kLabelColour = SketchRgb(0, 0, 0);
// The hour figures once the sketch is confirmed.
constexpr uint32_t kGreyedLabelColour = SketchRgb(209, 209, 209);
