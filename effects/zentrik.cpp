// Zentrik: a wave down the rows and one across the columns set each displacement's direction,
// twisting the picture in a grid of squares.
#include <cmath>

#include "effects/effects.h"
#include "engine/waveTable.h"

namespace fluxgrain {

namespace {
constexpr double kTableStep = 0.0625;
constexpr double kTableAmplitude = 3.5;
constexpr auto kParams = makeParamTable(0.12f, 0.3f, 0.7f, 0.65f);
}  // namespace

bool buildZentrikTable(PlugObj& obj) {
  const double w = obj.fWidth, h = obj.fHeight;
  auto wave = [](double n, double half) {
    const double v = (n - half) * kTableStep;
    return std::sin(v) + std::cos(v);
  };
  return buildWaveTable(
      obj, 2, [&](std::int32_t j) { return wave(j, h); }, [&](std::int32_t i) { return wave(i, w); },
      [&](double q, double p) {
        const double phi = std::atan2(q, p);
        return pixelOffset(kTableAmplitude * std::sin(phi), kTableAmplitude * std::cos(phi), obj.fWidth);
      });
}

const PluginDef kZentrik = {"qv15", "OxaFGZentrik1", 938, FLUXGRAIN_DESCRIPTION("Zentrik"),
                            FLUXGRAIN_ABOUT("OxaFGZentrik1"), 7, kParams.data(),
                            displacementProfile(2, true, false), buildZentrikTable};
FLUXGRAIN_PLUGIN(kZentrik)

}  // namespace fluxgrain
