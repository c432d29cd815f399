// The per-frame animation and the warp quad the feedback pass walks.
#pragma once

#include <cstdint>

#include "engine/profile.h"
#include "shell/plugObj.h"

namespace fluxgrain {

// One frame's warp geometry. Positions and steps are int32 with 8 fractional bits.
struct WarpQuad {
  double fCorner[4][2];  // rotated (and orbited) corners relative to the table centre, (X, Y)
  std::int32_t fStartX, fStartY;            // table position of corner 1
  std::int32_t fTopStepX, fTopStepY;        // per column, corner 1 to corner 2
  std::int32_t fBottomStepX, fBottomStepY;  // per column, corner 4 to corner 3
  std::int32_t fLeftStepX, fLeftStepY;      // per row, corner 1 to corner 4
  std::int32_t fRightStepX, fRightStepY;    // per row, corner 2 to corner 3
};

// Moves fPhaseA and fPhaseB by one frame at the speed "Step Val" sets.
void advancePhases(PlugObj& obj, const EngineProfile& profile);

// The quad of this frame, from the phases as advancePhases left them and the (limited) parameters.
WarpQuad computeWarpQuad(const PlugObj& obj, const EngineProfile& profile);

}  // namespace fluxgrain
