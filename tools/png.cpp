#include "tools/png.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <vector>

namespace fluxgrain::tools {

namespace {

using Bytes = std::vector<std::uint8_t>;

std::uint32_t crc32(const std::uint8_t* data, std::size_t size) {
  static const auto kTable = [] {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t n = 0; n < 256; ++n) {
      std::uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      table[n] = c;
    }
    return table;
  }();
  std::uint32_t c = 0xFFFFFFFFu;
  for (std::size_t i = 0; i < size; ++i) c = kTable[(c ^ data[i]) & 0xFF] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
}

std::uint32_t adler32(const Bytes& data) {
  std::uint32_t a = 1, b = 0;
  for (std::uint8_t byte : data) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  return (b << 16) | a;
}

void putBE32(Bytes& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(std::uint8_t(v >> shift));
}

void putChunk(Bytes& out, const char type[4], const Bytes& body) {
  putBE32(out, std::uint32_t(body.size()));
  const std::size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), body.begin(), body.end());
  putBE32(out, crc32(out.data() + start, out.size() - start));  // over type and body
}

// A zlib stream holding `raw` in stored deflate blocks of at most 65535 bytes each.
Bytes zlibStored(const Bytes& raw) {
  Bytes z = {0x78, 0x01};  // deflate, 32 KiB window, no dictionary; (0x7801 % 31 == 0)
  std::size_t pos = 0;
  do {
    const std::size_t len = std::min<std::size_t>(raw.size() - pos, 65535);
    const bool last = pos + len == raw.size();
    z.push_back(last ? 1 : 0);  // BFINAL, BTYPE 00 (stored)
    z.push_back(std::uint8_t(len));
    z.push_back(std::uint8_t(len >> 8));
    z.push_back(std::uint8_t(~len));
    z.push_back(std::uint8_t(~len >> 8));
    z.insert(z.end(), raw.begin() + std::ptrdiff_t(pos), raw.begin() + std::ptrdiff_t(pos + len));
    pos += len;
  } while (pos < raw.size());
  putBE32(z, adler32(raw));
  return z;
}

}  // namespace

bool writePng(const std::string& path, std::uint32_t width, std::uint32_t height,
              const std::uint8_t* rgba) {
  // Scanlines: filter type 0 (none), then the RGB bytes.
  Bytes raw;
  raw.reserve(std::size_t(height) * (1 + std::size_t(width) * 3));
  for (std::uint32_t y = 0; y < height; ++y) {
    raw.push_back(0);
    const std::uint8_t* row = rgba + std::size_t(y) * width * 4;
    for (std::uint32_t x = 0; x < width; ++x) raw.insert(raw.end(), row + x * 4, row + x * 4 + 3);
  }

  Bytes header;
  putBE32(header, width);
  putBE32(header, height);
  // 8 bits per sample, RGB, deflate, adaptive filtering, no interlace.
  header.insert(header.end(), {8, 2, 0, 0, 0});

  Bytes file = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  putChunk(file, "IHDR", header);
  putChunk(file, "IDAT", zlibStored(raw));
  putChunk(file, "IEND", {});

  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  const bool written = std::fwrite(file.data(), 1, file.size(), f) == file.size();
  return std::fclose(f) == 0 && written;
}

}  // namespace fluxgrain::tools
