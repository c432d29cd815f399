// Gralden: angle codes of a vector whose components are nested cosines of the column and of the
// row; tiles of about 100 cells, mirrored about the table's centre row and column.
#include <cmath>

#include "effects/effects.h"
#include "engine/dirTable.h"
#include "engine/waveTable.h"

namespace fluxgrain {

namespace {
constexpr double kTableStep = 0.0625;
constexpr auto kParams = makeParamTable(0.28f, 0.2f, 0.7f, 0.65f, 0.2f);
}  // namespace

bool buildGraldenTable(PlugObj& obj) {
  const double w = obj.fWidth, h = obj.fHeight;
  auto wave = [](double n, double half) {
    const double v = (n - half) * kTableStep;
    return std::cos(std::sin(v) + v);
  };
  return buildWaveTable(
             obj, 2, [&](std::int32_t j) { return wave(j, h); },
             [&](std::int32_t i) { return wave(i, w); },
             [&](double gy, double gx) { return angleCode(std::atan2(gx, gy)); }) &&
         buildDirTable(obj);
}

const PluginDef kGralden = {"qv0y", "OxaFGGralden1", 954, FLUXGRAIN_DESCRIPTION("Gralden"),
                            FLUXGRAIN_ABOUT("OxaFGGralden1"), 8, kParams.data(),
                            angleCodeProfile(2, 0.5, 512.0f, 0x7FFF), buildGraldenTable};
FLUXGRAIN_PLUGIN(kGralden)

}  // namespace fluxgrain
