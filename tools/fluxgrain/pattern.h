// The built-in animated test pattern: colour bars, a hue sweep, a grey ramp and a grid, with a
// disc, a ring and a diamond that move, so that an effect's feedback has edges and motion to
// smear. The same frame index always gives the same picture.
#pragma once

#include <cstdint>

#include "tools/fluxgrain/image.h"

namespace fluxgrain::tool {

constexpr std::uint32_t kPatternPeriod = 120;  // frames until the shapes are back where they began

// Frame `index` of the pattern, RGB (3 bytes per pixel) or RGBA with opaque alpha (4).
Image testPattern(std::uint32_t width, std::uint32_t height, std::uint32_t bytesPerPixel,
                  std::uint32_t index);

}  // namespace fluxgrain::tool
