// Pellum: short displacements whose direction follows a nested sine pattern of the position.
#include <cmath>

#include "effects/effects.h"
#include "engine/waveTable.h"

namespace fluxgrain {

namespace {
constexpr double kTableStep = 0.0625;
constexpr double kTableAmplitude = 3.5;
constexpr auto kParams = makeParamTable(0.12f, 0.4f, 0.7f, 0.65f);
}  // namespace

bool buildPellumTable(PlugObj& obj) {
  const double w = obj.fWidth, h = obj.fHeight;
  struct Row { double yv, sy; };
  return buildWaveTable(
      obj, 2, ColumnLoop::kParallel,
      [&](std::int32_t j) {
        const double yv = (double(j) - h) * kTableStep;
        return Row{yv, std::sin(yv)};
      },
      [&](const Row& row, std::int32_t i) {
        const double xv = (double(i) - w) * kTableStep;
        const double a = std::atan2(std::cos(std::sin(xv) * row.yv), std::cos(xv * row.sy));
        return pixelOffset(kTableAmplitude * std::sin(a), kTableAmplitude * std::cos(a), obj.fWidth);
      });
}

const PluginDef kPellum = {"qv11", "OxaFGPellum1", 944, FLUXGRAIN_DESCRIPTION("Pellum"),
                           FLUXGRAIN_ABOUT("OxaFGPellum1"), 7, kParams.data(),
                           displacementProfile(2, true, false), buildPellumTable};
FLUXGRAIN_PLUGIN(kPellum)

}  // namespace fluxgrain
