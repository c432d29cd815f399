// What every implementation of the feedback pass shares: the frame's buffers and constants, and
// the integer steps of the walk.
#pragma once

#include <cstdint>

#include "engine/dirTable.h"
#include "engine/feedbackPass.h"
#include "engine/intMath.h"
#include "engine/motion.h"

namespace fluxgrain {

struct PassContext {
  const std::uint8_t* fInput;
  const std::uint8_t* fFeedback;
  std::uint8_t* fOutput;
  const std::int32_t* fTable;
  const DirEntry* fDirTable;
  const std::int32_t* fCodeOffsets;  // filled for this frame for the fast angle-code walk
  std::int32_t fWidth, fHeight, fTableWidth, fLastCell, fLastPixel;
  std::int32_t fWeight, fAngMul, fDirMask;
  PassCopies fCopies;
};

// The step of one edge at row r of H, interpolated between two edge steps; truncating division.
inline std::int32_t edgeStep(std::int32_t h, std::int32_t from, std::int32_t to, std::int32_t r) {
  return wrapAdd(wrapMul(h, from), wrapMul(r, wrapSub(to, from))) / h;
}

constexpr std::int32_t clampIndex(std::int32_t i, std::int32_t last) {
  return i < 0 ? 0 : i > last ? last : i;
}

}  // namespace fluxgrain
