// `fluxgrain gallery`: every Fluxgrain effect at its defaults on the test pattern.
#pragma once

#include <string>
#include <vector>

#include "tools/fluxgrain/args.h"
#include "tools/fluxgrain/image.h"

namespace fluxgrain::tool {

struct Tile {
  std::string fLabel;
  Image fPicture;  // RGB; all tiles of a sheet the same size
};

// The tiles side by side, four to a row, each with its label under it, on a dark ground.
Image contactSheet(const std::vector<Tile>& tiles);

void runGallery(const Options& options, const std::string& pluginDir);

}  // namespace fluxgrain::tool
