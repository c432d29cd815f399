// Orvial: displacements toward the centre, growing with the distance: a still, swelling lens.
#include <cmath>

#include "effects/effects.h"
#include "engine/waveTable.h"

namespace fluxgrain {

namespace {
constexpr double kTableStep = 0.0625;
constexpr double kTableAmplitude = 3.5;
constexpr double kCoreEpsilon = 0.0001;
constexpr double kBulgeNumerator = 0.2;
constexpr double kBulgeBase = 1.5;
constexpr double kBulgeGain = -3.0;
constexpr auto kParams = makeParamTable(0.12f, 0.3f, 0.7f, 0.65f);
}  // namespace

bool buildOrvialTable(PlugObj& obj) {
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
        const double t = kBulgeNumerator / (r + kCoreEpsilon) + kBulgeBase;
        const double m = kBulgeGain / (std::sqrt(t * t + t * t) + kCoreEpsilon);
        const double theta = std::atan2(u, row.v);
        return pixelOffset((kTableAmplitude * std::sin(theta)) * m,
                           (kTableAmplitude * std::cos(theta)) * m, obj.fWidth);
      });
}

const PluginDef kOrvial = {"qv_2", "OxaFGOrvial1", 940, FLUXGRAIN_DESCRIPTION("Orvial"),
                           FLUXGRAIN_ABOUT("OxaFGOrvial1"), 7, kParams.data(),
                           displacementProfile(2, false, false), buildOrvialTable};
FLUXGRAIN_PLUGIN(kOrvial)

}  // namespace fluxgrain
