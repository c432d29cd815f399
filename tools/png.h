// A minimal PNG writer: 8-bit RGB, no filtering, the image data in stored (uncompressed) deflate
// blocks. Enough for preview pictures without a compression library.
#pragma once

#include <cstdint>
#include <string>

namespace fluxgrain::tools {

// Writes the RGBA image (width x height pixels, rows top to bottom, 4 bytes per pixel) as an RGB
// PNG, dropping alpha. Returns false if the file cannot be written.
bool writePng(const std::string& path, std::uint32_t width, std::uint32_t height,
              const std::uint8_t* rgba);

}  // namespace fluxgrain::tools
