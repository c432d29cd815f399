#include "tools/fluxgrain/gallery.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "tools/fluxgrain/font.h"
#include "tools/fluxgrain/frameio.h"
#include "tools/fluxgrain/pattern.h"
#include "tools/fluxgrain/plugin.h"
#include "tools/fluxgrain/png.h"
#include "tools/fluxgrain/problem.h"
#include "tools/fluxgrain/progress.h"
#include "tools/fluxgrain/video.h"

namespace fluxgrain::tool {

namespace {

struct Effect {
  const char* fPlugin;  // file name without .so
  const char* fLabel;
};
constexpr Effect kEffects[] = {
    {"OxaFGPellum1", "Pellum"},   {"OxaFGCaldor1", "Caldor"},   {"OxaFGFennix1", "Fennix"},
    {"OxaFGOrvial1", "Orvial"},   {"OxaFGZentrik1", "Zentrik"}, {"OxaFGGralden1", "Gralden"},
    {"OxaFGLumbra1", "Lumbra"},   {"OxaFGSolvane1", "Solvane"},
};

constexpr int kColumns = 4;
constexpr int kGap = 6;
constexpr int kTextScale = 2;
constexpr std::uint8_t kGround[3] = {28, 28, 32};
constexpr std::uint8_t kInk[3] = {235, 235, 235};

// Renders one effect: every frame into the clip, the last one returned as the still.
Image renderEffect(const std::string& pluginPath, const std::string& label, const Options& o,
                   std::uint32_t width, std::uint32_t height, const std::string& clipPath) {
  PluginPtr plugin = openPlugin(pluginPath);
  InstancePtr instance = createInstance(*plugin, width, height, 32);
  VideoWriterPtr clip = createVideo(clipPath, width, height, o.fFps > 0 ? o.fFps : 30);
  const std::uint32_t frames = o.fFrames > 0 ? o.fFrames : 120;
  Progress progress = startProgress(label, frames, o.fQuiet);
  Image frame;
  for (std::uint32_t i = 0; i < frames; ++i) {
    frame = testPattern(width, height, 4, i);
    processFrame(*instance, frame.fPixels.data());
    writeVideoFrame(*clip, frame);
    showProgress(progress, i + 1);
  }
  endProgress(progress);
  finishVideo(*clip);
  return rgbOf(frame);
}

}  // namespace

Image contactSheet(const std::vector<Tile>& tiles) {
  if (tiles.empty()) return blankImage(1, 1, 3);
  const int tileWidth = int(tiles[0].fPicture.fWidth), tileHeight = int(tiles[0].fPicture.fHeight);
  const int labelHeight = kGlyphHeight * kTextScale + 2 * kGap;
  const int columns = std::min<int>(kColumns, int(tiles.size()));
  const int rows = (int(tiles.size()) + columns - 1) / columns;
  Image sheet = blankImage(std::uint32_t(columns * (tileWidth + kGap) + kGap),
                           std::uint32_t(rows * (tileHeight + labelHeight) + kGap), 3);
  for (std::size_t i = 0; i < sheet.fPixels.size(); ++i) sheet.fPixels[i] = kGround[i % 3];

  for (std::size_t t = 0; t < tiles.size(); ++t) {
    const int left = kGap + int(t % std::size_t(columns)) * (tileWidth + kGap);
    const int top = kGap + int(t / std::size_t(columns)) * (tileHeight + labelHeight);
    const Image& picture = tiles[t].fPicture;
    for (int y = 0; y < tileHeight; ++y)
      std::copy_n(&picture.fPixels[std::size_t(y) * std::size_t(tileWidth) * 3], std::size_t(tileWidth) * 3,
                  &sheet.fPixels[(std::size_t(top + y) * sheet.fWidth + std::size_t(left)) * 3]);
    const int textLeft = left + (tileWidth - textWidth(tiles[t].fLabel, kTextScale)) / 2;
    drawText(sheet, textLeft, top + tileHeight + kGap, tiles[t].fLabel, kTextScale, kInk);
  }
  return sheet;
}

void runGallery(const Options& o, const std::string& pluginDir) {
  const std::uint32_t width = o.fWidth ? o.fWidth : 320, height = o.fHeight ? o.fHeight : 240;
  if (width % 2 != 0 || height % 2 != 0)
    usageError("the gallery's clips need an even width and height; got " + std::to_string(width) + "x" +
               std::to_string(height));
  std::error_code error;
  // Every plug-in must be there before anything is rendered.
  for (const Effect& effect : kEffects)
    if (!std::filesystem::is_regular_file(std::filesystem::path(pluginDir) / (std::string(effect.fPlugin) + ".so"), error))
      fail("plug-in " + std::string(effect.fPlugin) + ".so not found in " + pluginDir +
           "; build the plug-ins first or give --plugins DIR");

  std::filesystem::create_directories(o.fTarget, error);
  if (error) fail("cannot create the folder " + o.fTarget + ": " + error.message());
  const std::filesystem::path dir = o.fTarget;

  writePng((dir / "pattern.png").string(), testPattern(width, height, 3, 0));
  std::vector<Tile> tiles;
  for (const Effect& effect : kEffects) {
    const std::string plugin = (std::filesystem::path(pluginDir) / (std::string(effect.fPlugin) + ".so")).string();
    Image still = renderEffect(plugin, effect.fLabel, o, width, height,
                               (dir / (std::string(effect.fPlugin) + ".mp4")).string());
    writePng((dir / (std::string(effect.fPlugin) + ".png")).string(), still);
    tiles.push_back({effect.fLabel, std::move(still)});
  }
  writePng((dir / "contact-sheet.png").string(), contactSheet(tiles));
  if (!o.fQuiet)
    std::printf("gallery of %zu effects (%ux%u, %u frames each) in %s\n", tiles.size(), unsigned(width),
                unsigned(height), unsigned(o.fFrames > 0 ? o.fFrames : 120), o.fTarget.c_str());
}

}  // namespace fluxgrain::tool
