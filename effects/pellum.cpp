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
  struct Axis { double v, sinV; };
  auto axis = [](double n, double half) {
    const double v = (n - half) * kTableStep;
    return Axis{v, std::sin(v)};
  };
  return buildWaveTable(
      obj, 2, [&](std::int32_t j) { return axis(j, h); }, [&](std::int32_t i) { return axis(i, w); },
      [&](const Axis& row, const Axis& col) {
        const double a = std::atan2(std::cos(col.sinV * row.v), std::cos(col.v * row.sinV));
        return pixelOffset(kTableAmplitude * std::sin(a), kTableAmplitude * std::cos(a), obj.fWidth);
      });
}

const PluginDef kPellum = {"qv11", "OxaFGPellum1", 944, FLUXGRAIN_DESCRIPTION("Pellum"),
                           FLUXGRAIN_ABOUT("OxaFGPellum1"), 7, kParams.data(),
                           displacementProfile(2, true, false), buildPellumTable};
FLUXGRAIN_PLUGIN(kPellum)

}  // namespace fluxgrain
