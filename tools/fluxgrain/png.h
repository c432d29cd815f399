// PNG pictures through libpng.
#pragma once

#include <string>

#include "tools/fluxgrain/image.h"

namespace fluxgrain::tool {

// Reads any PNG (grey, palette, 16-bit, with or without alpha) as RGB or RGBA bytes
// (bytesPerPixel 3 or 4); fails with a one-line reason when the file is missing or corrupt.
Image readPng(const std::string& path, std::uint32_t bytesPerPixel);

// Writes an RGB or RGBA image; the file appears under `path` only once it is complete.
void writePng(const std::string& path, const Image& image);

}  // namespace fluxgrain::tool
