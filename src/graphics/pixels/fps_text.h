// The frame counter's text: a small built-in 5 x 7 font, black on white like the platform's
// default text output, for the characters "FPS: " and digits.
#pragma once

#include <string_view>

#include "foundation/geometry.h"

class CGraphicsObject;

namespace tarnvik {

// Glyph cell: 5 x 7 pixels, one column and one row of white around each character.
constexpr int kFpsGlyphWidth = 5, kFpsGlyphHeight = 7, kFpsAdvance = 6;

// Draws the text with its top-left at (x, y); characters without a glyph are blank. Returns the
// rectangle drawn on (cut to the surface), empty when nothing was drawn.
CXRect drawFpsText(CGraphicsObject& surface, int x, int y, std::string_view text);

// The glyph rows of a character (bit 4 is the leftmost column), or null when it has none.
const unsigned char* fpsGlyph(char c);

}  // namespace tarnvik
