// Lumbra: a four-fold table of the plain polar angle around a point near its top-left corner,
// read with a four times higher angle multiplier.
#include <cmath>

#include "effects/effects.h"
#include "engine/dirTable.h"
#include "engine/waveTable.h"

namespace fluxgrain {

namespace {
constexpr double kCentreFactor = 0.5;
constexpr auto kParams = makeParamTable(0.28f, 0.2f, 0.7f, 0.65f, 0.2f);
}  // namespace

bool buildLumbraTable(PlugObj& obj) {
  const double cx = double(obj.fWidth) * kCentreFactor;
  const double cy = double(obj.fHeight) * kCentreFactor;
  return buildWaveTable(
             obj, 4, [&](std::int32_t j) { return double(j) - cy; },
             [&](std::int32_t i) { return double(i) - cx; },
             [&](double dy, double dx) { return angleCode(std::atan2(dx, dy)); }) &&
         buildDirTable(obj);
}

const PluginDef kLumbra = {"qv0z", "OxaFGLumbra1", 945, FLUXGRAIN_DESCRIPTION("Lumbra"),
                           FLUXGRAIN_ABOUT("OxaFGLumbra1"), 8, kParams.data(),
                           angleCodeProfile(4, 1.0, 2048.0f, 0xFFFF), buildLumbraTable};
FLUXGRAIN_PLUGIN(kLumbra)

}  // namespace fluxgrain
