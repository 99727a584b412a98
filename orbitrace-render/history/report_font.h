// The report's text drawn with Pango: shaped, laid out in either direction,
// and each character from a font that has it, found through fontconfig's
// fallback, so names in any script print as themselves and not as boxes.
#pragma once

#include <cairo.h>
#include <pango/pangocairo.h>

#include <string>

// A layout for drawing on `cr`, left to right whatever the text's first
// letter; the caller frees it with g_object_unref.
PangoLayout *CreateTextLayout(cairo_t *cr);

// The family every text asks for first, at `size` user units.
void SetTextFont(PangoLayout *layout, double size, bool bold);

double TextWidth(cairo_t *cr, PangoLayout *layout, const std::string &text);

// Draws `text` with its left, centre or right (align 0, .5, 1) at x and its
// baseline at y; cut with an ellipsis to `maxWidth` when that is over 0.
// Returns its width.
double ShowText(cairo_t *cr, PangoLayout *layout, const std::string &text,
                double x, double y, double align = 0, double maxWidth = 0);
