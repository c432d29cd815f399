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
  struct Row { double v, v2; };
  return buildWaveTable(
      obj, 4, ColumnLoop::kParallel,
      [&](std::int32_t j) {
        const double v = double(j) - h * kOriginFactor;
        return Row{v, v * v};
      },
      [&](const Row& row, std::int32_t i) {
        const double u = double(i) - w * kOriginFactor;
        const double r = std::sqrt(u * u + row.v2);
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
