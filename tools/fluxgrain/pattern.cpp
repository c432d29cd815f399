#include "tools/fluxgrain/pattern.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace fluxgrain::tool {

namespace {

struct Rgb {
  std::uint8_t r, g, b;
};

Rgb scaled(Rgb c, double f) {
  return {std::uint8_t(c.r * f), std::uint8_t(c.g * f), std::uint8_t(c.b * f)};
}

// Fully saturated colour of hue t in [0, 1).
Rgb hue(double t) {
  const double h = t * 6.0;
  const int sector = int(h) % 6;
  const auto up = std::uint8_t(255 * (h - std::floor(h)));
  const auto down = std::uint8_t(255 - up);
  switch (sector) {
    case 0: return {255, up, 0};
    case 1: return {down, 255, 0};
    case 2: return {0, 255, up};
    case 3: return {0, down, 255};
    case 4: return {up, 0, 255};
    default: return {255, 0, down};
  }
}

}  // namespace

Image testPattern(std::uint32_t width, std::uint32_t height, std::uint32_t bytesPerPixel,
                  std::uint32_t index) {
  static constexpr Rgb kBars[] = {{255, 255, 255}, {255, 230, 0}, {0, 230, 255}, {0, 220, 0},
                                  {240, 0, 240},   {240, 0, 0},   {0, 40, 255}};
  const int w = int(width), h = int(height);
  const int barsEnd = h * 2 / 3, sweepEnd = h * 5 / 6;
  const int cell = std::max(4, h / 12);
  // One turn of the shapes per period: the disc circles, the ring slides to and fro, the
  // diamond bobs up and down.
  const double turn = 2 * std::numbers::pi * double(index % kPatternPeriod) / kPatternPeriod;
  const double cx1 = w * (0.25 + 0.08 * std::cos(turn)), cy1 = h * (0.33 + 0.10 * std::sin(turn));
  const double cx2 = w * (0.72 + 0.06 * std::sin(turn)), cy2 = h * 0.38;
  const double cx3 = w * 0.50, cy3 = h * (0.62 - 0.08 * std::sin(2 * turn));
  const double r1 = h / 9.0, r2 = h / 7.0, r3 = h / 10.0;
  const int scroll = int(index) % std::max(1, w);  // the hue sweep drifts sideways

  Image image = blankImage(width, height, bytesPerPixel);
  std::uint8_t* p = image.fPixels.data();
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x, p += bytesPerPixel) {
      Rgb c;
      if (y < barsEnd) {
        c = scaled(kBars[x * 7 / w], 1.0 - 0.5 * y / barsEnd);
      } else if (y < sweepEnd) {
        c = hue(double((x + scroll) % w) / w);
      } else {
        const auto v = std::uint8_t(255 * x / std::max(1, w - 1));
        c = {v, v, v};
      }
      if (x % cell == 0 || y % cell == 0) c = {24, 24, 24};

      const double d1 = std::hypot(x - cx1, y - cy1), d2 = std::hypot(x - cx2, y - cy2);
      const double d3 = std::abs(x - cx3) + std::abs(y - cy3);
      if (d1 <= r1) c = {255, 255, 255};
      if (std::abs(d2 - r2) <= h / 60.0 + 0.5) c = {255, 255, 160};
      if (d3 <= r3) c = d3 >= r3 - 2.0 ? Rgb{0, 0, 0} : Rgb{255, 140, 0};

      p[0] = c.r;
      p[1] = c.g;
      p[2] = c.b;
      if (bytesPerPixel == 4) p[3] = 255;
    }
  }
  return image;
}

}  // namespace fluxgrain::tool
