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

// The column steps of row r: column c moves the table position on by
// (span * c + base) / W in each coordinate, with int32 wrap and truncating division.
struct RowSpans {
  std::int32_t fSpanX, fBaseX, fSpanY, fBaseY;
};

inline RowSpans rowSpans(const WarpQuad& q, std::int32_t w, std::int32_t h, std::int32_t r) {
  const std::int32_t aX = edgeStep(h, q.fTopStepX, q.fBottomStepX, r);
  const std::int32_t bX = edgeStep(h, q.fBottomStepX, q.fTopStepX, r);
  const std::int32_t aY = edgeStep(h, q.fTopStepY, q.fBottomStepY, r);
  const std::int32_t bY = edgeStep(h, q.fBottomStepY, q.fTopStepY, r);
  return {wrapSub(bX, aX), wrapMul(w, aX), wrapSub(bY, aY), wrapMul(w, aY)};
}

}  // namespace fluxgrain
