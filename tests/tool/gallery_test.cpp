// The contact sheet's layout and labels, and the progress line.
#include <gtest/gtest.h>

#include "tools/fluxgrain/font.h"
#include "tools/fluxgrain/gallery.h"
#include "tools/fluxgrain/progress.h"

namespace fluxgrain::tool {
namespace {

Image filled(std::uint32_t width, std::uint32_t height, std::uint8_t value) {
  Image image = blankImage(width, height, 3);
  std::fill(image.fPixels.begin(), image.fPixels.end(), value);
  return image;
}

const std::uint8_t* pixel(const Image& image, int x, int y) {
  return &image.fPixels[(std::size_t(y) * image.fWidth + std::size_t(x)) * 3];
}

TEST(ContactSheet, TilesFourToARowWithTheNameUnderEach) {
  // Five tiles of 40x20, each its own shade: two rows, the second with one tile.
  std::vector<Tile> tiles;
  for (std::uint8_t i = 0; i < 5; ++i) tiles.push_back({"AB", filled(40, 20, std::uint8_t(100 + i))});
  const Image sheet = contactSheet(tiles);
  const int gap = 6, label = kGlyphHeight * 2 + 2 * gap;
  ASSERT_EQ(sheet.fWidth, std::uint32_t(4 * (40 + gap) + gap));
  ASSERT_EQ(sheet.fHeight, std::uint32_t(2 * (20 + label) + gap));
  for (int t = 0; t < 5; ++t) {
    const int left = gap + (t % 4) * (40 + gap), top = gap + (t / 4) * (20 + label);
    for (auto [x, y] : {std::pair{left, top}, std::pair{left + 39, top + 19}})
      EXPECT_EQ(pixel(sheet, x, y)[0], 100 + t) << "tile " << t;
    // The label strip under the tile holds ink, the gap beside the tile does not.
    int ink = 0;
    for (int y = top + 20; y < top + 20 + label; ++y)
      for (int x = left; x < left + 40; ++x) ink += pixel(sheet, x, y)[0] > 200;
    EXPECT_GT(ink, 20) << "tile " << t << " has no name under it";
    EXPECT_LT(pixel(sheet, left - 1, top + 10)[0], 100);
  }
}

TEST(ProgressLine, ShowsFramesRateAndTimeLeft) {
  EXPECT_EQ(progressLine(30, 120, 2.0), "[######..................] 30/120 frames  15.0 fps  0:06 left");
  EXPECT_EQ(progressLine(0, 120, 0.0), "[........................] 0/120 frames  0.0 fps");
  EXPECT_EQ(progressLine(120, 120, 4.0), "[########################] 120/120 frames  30.0 fps  0:00 left");
  EXPECT_EQ(progressLine(5, 100000, 5.0), "[........................] 5/100000 frames  1.0 fps  27:46:35 left");
  EXPECT_EQ(progressLine(42, 0, 2.0), "42 frames  21.0 fps");  // the total not known in advance
}

}  // namespace
}  // namespace fluxgrain::tool
