// The constant record that switches the shared engine for one plug-in.
#pragma once

#include <cstdint>

namespace fluxgrain {

struct EngineProfile {
  std::int32_t fTableFactor;    // K: the WaveTable is K*W x K*H cells
  bool fAdvancePhases;          // the phases move every frame
  bool fDistMulScalesCorners;   // "Dist Mul" multiplies the corner scales
  // Eight-parameter plug-ins only; the seven-parameter ones take the neutral values below.
  bool fOrbit;                  // the quad orbits and displacements come from the DirTable
  double fCornerFactor;         // multiplies the widened corner term
  float fAngMulScale;           // "Ang Mul" times this is the angle-code multiplier
  std::int32_t fDirMask;        // turns a scaled angle code into a DirTable entry
  double fBlendScale;           // scale of the blend weight
};

// A seven-parameter profile: WaveTable cells are pixel displacements.
constexpr EngineProfile displacementProfile(std::int32_t tableFactor, bool advancePhases,
                                            bool distMulScalesCorners) {
  return {tableFactor, advancePhases, distMulScalesCorners, false, 1.0, 0.0f, 0, 255.0};
}

// An eight-parameter profile: WaveTable cells are angle codes turned by "Ang Mul".
constexpr EngineProfile angleCodeProfile(std::int32_t tableFactor, double cornerFactor,
                                         float angMulScale, std::int32_t dirMask) {
  return {tableFactor, true, false, true, cornerFactor, angMulScale, dirMask, 256.0};
}

}  // namespace fluxgrain
