// Solvane: angle codes of the vector (sin + cos of the column, sin + cos of the row); tiles of
// about 100 cells without Gralden's mirror symmetry, over all 65536 directions.
#include <cmath>

#include "effects/effects.h"
#include "engine/dirTable.h"
#include "engine/waveTable.h"

namespace fluxgrain {

namespace {
constexpr double kTableStep = 0.0625;
constexpr auto kParams = makeParamTable(0.28f, 0.2f, 0.7f, 0.65f, 0.2f);
}  // namespace

bool buildSolvaneTable(PlugObj& obj) {
  const double w = obj.fWidth, h = obj.fHeight;
  return buildWaveTable(
             obj, 2,
             [&](std::int32_t j) {
               const double v = (double(j) - h) * kTableStep;
               return std::sin(v) + std::cos(v);
             },
             [&](std::int32_t i) {
               const double u = (double(i) - w) * kTableStep;
               return std::cos(u) + std::sin(u);
             },
             [&](double gy, double gx) { return angleCode(std::atan2(gy, gx)); }) &&
         buildDirTable(obj);
}

const PluginDef kSolvane = {"qv10", "OxaFGSolvane1", 938, FLUXGRAIN_DESCRIPTION("Solvane"),
                            FLUXGRAIN_ABOUT("OxaFGSolvane1"), 8, kParams.data(),
                            angleCodeProfile(2, 0.5, 512.0f, 0xFFFF), buildSolvaneTable};
FLUXGRAIN_PLUGIN(kSolvane)

}  // namespace fluxgrain
