// Caldor: displacements pointing away from the centre, curled with the distance into arms.
#include <cmath>

#include "effects/effects.h"
#include "engine/angles.h"
#include "engine/waveTable.h"

namespace fluxgrain {

namespace {
constexpr double kTableStep = 0.25;
constexpr double kTableAmplitude = 2.5;
constexpr double kTurnDivisor = 3.0;
constexpr double kWobbleAmplitude = 10.0;
constexpr double kWobbleHalfTurn = 180.0;
constexpr auto kParams = makeParamTable(0.12f, 0.1f, 0.1f, 0.1f);
}  // namespace

bool buildCaldorTable(PlugObj& obj) {
  const double w = obj.fWidth, h = obj.fHeight;
  struct Row { double v, v2; };
  return buildWaveTable(
      obj, 2, ColumnLoop::kParallel,
      [&](std::int32_t j) {
        const double v = (double(j) - h) * kTableStep;
        return Row{v, v * v};
      },
      [&](const Row& row, std::int32_t i) {
        const double u = (double(i) - w) * kTableStep;
        const double r = std::sqrt(u * u + row.v2);
        const double theta = std::atan2(u, row.v);
        const double a = (theta + (kTwoPi * r) / (h / kTurnDivisor)) +
                         kWobbleAmplitude * std::sin((kPi * r) / kWobbleHalfTurn);
        return pixelOffset(kTableAmplitude * std::sin(a), kTableAmplitude * std::cos(a), obj.fWidth);
      });
}

const PluginDef kCaldor = {"qv13", "OxaFGCaldor1", 939, FLUXGRAIN_DESCRIPTION("Caldor"),
                           FLUXGRAIN_ABOUT("OxaFGCaldor1"), 7, kParams.data(),
                           displacementProfile(2, true, true), buildCaldorTable};
FLUXGRAIN_PLUGIN(kCaldor)

}  // namespace fluxgrain
