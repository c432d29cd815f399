// A tiny 5x7 bitmap font (capitals, digits, '-', '.', space; small letters drawn as capitals) for
// labelling pictures without a font library.
#pragma once

#include <cstdint>
#include <string_view>

#include "tools/fluxgrain/image.h"

namespace fluxgrain::tool {

constexpr int kGlyphWidth = 5, kGlyphHeight = 7, kGlyphAdvance = 6;

// Width in pixels of `text` drawn `scale` times enlarged (no trailing gap).
int textWidth(std::string_view text, int scale);
// Draws `text` with its top-left corner at (x, y); pixels outside the image are skipped.
void drawText(Image& image, int x, int y, std::string_view text, int scale, const std::uint8_t rgb[3]);

}  // namespace fluxgrain::tool
