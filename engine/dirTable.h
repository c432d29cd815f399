// The direction table of the eight-parameter plug-ins: angle codes, times "Ang Mul", select one
// of 65536 displacement directions.
#pragma once

#include <cstdint>

#include "engine/profile.h"
#include "shell/plugObj.h"

namespace fluxgrain {

constexpr std::int32_t kDirEntries = 65536;
constexpr std::int32_t kDirShift = 14;  // from 16 fractional bits to whole pixels

struct DirEntry {
  std::int32_t fCos;  // row component, 16 fractional bits
  std::int32_t fSin;  // column component, 16 fractional bits
};
static_assert(sizeof(DirEntry) == 8);

// The code of an angle in radians: 65536 codes to half a turn, so a and a + pi share a code.
std::int32_t angleCode(double angle);

// Allocates and fills obj.fDirTable (five full turns over the entries), with room after it for
// obj.fCodeOffsets (one entry per angle code); false if out of memory.
bool buildDirTable(PlugObj& obj);

// AM, the integer multiplier of this frame's angle codes.
std::int32_t angleMultiplier(const PlugObj& obj, const EngineProfile& profile);

}  // namespace fluxgrain
