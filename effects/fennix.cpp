// Fennix: a four-fold table of arms that twist around an origin near its top-left corner.
#include <cmath>

#include "effects/effects.h"
#include "engine/angles.h"
#include "engine/waveTable.h"

namespace fluxgrain {

namespace {
constexpr double kTableAmplitude = 5.5;
constexpr double kOriginFactor = 0.5;
constexpr double kTurnDivisor = 3.0;
constexpr double kArmTwist = 24.0;
constexpr double kWobbleAmplitude = 10.0;
constexpr double kWobbleHalfTurn = 180.0;
constexpr auto kParams = makeParamTable(0.12f, 0.1f, 0.7f, 0.65f);
}  // namespace

bool buildFennixTable(PlugObj& obj) {
  const double w = obj.fWidth, h = obj.fHeight;
  struct Axis { double v, v2; };
  auto axis = [](double n, double size) {
    const double v = n - size * kOriginFactor;
    return Axis{v, v * v};
  };
  return buildWaveTable(
      obj, 4, [&](std::int32_t j) { return axis(j, h); }, [&](std::int32_t i) { return axis(i, w); },
      [&](const Axis& row, const Axis& col) {
        const double u = col.v;
        const double r = std::sqrt(col.v2 + row.v2);
        const double theta = std::atan2(u, row.v);
        const double a = ((kTwoPi * r) / (h / kTurnDivisor) + ((r / h) * kArmTwist) * theta) +
                         kWobbleAmplitude * std::sin((kPi * r) / kWobbleHalfTurn);
        return pixelOffset(kTableAmplitude * std::sin(a), kTableAmplitude * std::cos(a), obj.fWidth);
      });
}

const PluginDef kFennix = {"qv14", "OxaFGFennix1", 941, FLUXGRAIN_DESCRIPTION("Fennix"),
                           FLUXGRAIN_ABOUT("OxaFGFennix1"), 7, kParams.data(),
                           displacementProfile(4, true, false), buildFennixTable};
FLUXGRAIN_PLUGIN(kFennix)

}  // namespace fluxgrain
