// A picture in memory as a FreeFrame host hands it to a plug-in: rows one after another without
// gaps, 3 bytes (R, G, B) or 4 bytes (R, G, B, A) per pixel.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace fluxgrain::tool {

struct Image {
  std::uint32_t fWidth = 0;
  std::uint32_t fHeight = 0;
  std::uint32_t fBytesPerPixel = 4;
  std::vector<std::uint8_t> fPixels;
};

inline std::size_t imageBytes(std::uint32_t width, std::uint32_t height, std::uint32_t bytesPerPixel) {
  return std::size_t(width) * height * bytesPerPixel;
}

inline Image blankImage(std::uint32_t width, std::uint32_t height, std::uint32_t bytesPerPixel) {
  return {width, height, bytesPerPixel,
          std::vector<std::uint8_t>(imageBytes(width, height, bytesPerPixel))};
}

}  // namespace fluxgrain::tool
