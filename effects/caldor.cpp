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
  struct Axis { double v, v2; };
  auto axis = [](double n, double half) {
    const double v = (n - half) * kTableStep;
    return Axis{v, v * v};
  };
  return buildWaveTable(
      obj, 2, [&](std::int32_t j) { return axis(j, h); }, [&](std::int32_t i) { return axis(i, w); },
      [&](const Axis& row, const Axis& col) {
        const double u = col.v;
        const double r = std::sqrt(col.v2 + row.v2);
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
