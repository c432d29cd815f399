#include "tools/fluxgrain/png.h"

#include <png.h>

#include <cstdio>
#include <cstring>

#include "tools/fluxgrain/output.h"
#include "tools/fluxgrain/problem.h"

namespace fluxgrain::tool {

Image readPng(const std::string& path, std::uint32_t bytesPerPixel) {
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&png, path.c_str())) {
    FILE* probe = std::fopen(path.c_str(), "rb");
    const int error = errno;
    if (probe == nullptr) fail("cannot read " + path + ": " + std::strerror(error));
    std::fclose(probe);
    fail("cannot read " + path + " as a PNG image: " + png.message);
  }
  png.format = bytesPerPixel == 4 ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
  Image image = blankImage(png.width, png.height, bytesPerPixel);
  if (!png_image_finish_read(&png, nullptr, image.fPixels.data(), 0, nullptr))
    fail("cannot read " + path + " as a PNG image: " + png.message);
  return image;
}

void writePng(const std::string& path, const Image& image) {
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  png.width = image.fWidth;
  png.height = image.fHeight;
  png.format = image.fBytesPerPixel == 4 ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
  PendingFile file(path);
  if (!png_image_write_to_file(&png, file.partPath().c_str(), 0, image.fPixels.data(), 0, nullptr))
    fail("cannot write " + path + ": " + png.message);
  file.commit();
}

}  // namespace fluxgrain::tool
