// The per-instance record; its address is the FreeFrame instance identifier.
#pragma once

#include <cstdint>

#include "pipeline/frameSlots.h"
#include "shell/params.h"

namespace fluxgrain {

struct DirEntry;

struct PlugObj {
  bool fMultiReady;  // the descriptor and its slots exist; frame calls refuse to work otherwise
  MultiFrame* fMulti;
  ParamRec fParams[kMaxParams];
  std::uint8_t* fFeedback;    // the previous output during a pass (swapped with fLastOutput)
  std::uint8_t* fLastOutput;  // written by the pass; the next frame's history
  double fPhaseA;             // drives the orbit (eight-parameter plug-ins)
  double fPhaseB;             // drives the rotation
  double fCornerOffset[4];
  std::int32_t fWidth;
  std::int32_t fHeight;
  std::int32_t fBitDepth;
  std::int32_t fOrientation;  // recorded only: rows are always processed in memory order
  std::int32_t* fWaveTable;   // displacements, or angle codes in the eight-parameter plug-ins
  DirEntry* fDirTable;        // eight-parameter plug-ins only
  // Eight-parameter plug-ins: the pixel offset of each of the 65536 angle codes under the
  // multiplier fCodeOffsetsAngMul, filled by the fast pass when "Ang Mul" gives another one (the
  // direction table and the width never change). It lives in fDirTable's block.
  std::int32_t* fCodeOffsets;
  bool fCodeOffsetsFilled;
  std::int32_t fCodeOffsetsAngMul;
  // The 32 slot records made at instantiate. A code-16 call may point fMulti at the caller's
  // records instead; these are still ours to release.
  FrameSlot* fOwnSlots;
};

// Bytes per pixel of a FreeFrame bit-depth code.
constexpr std::int32_t bytesPerPixel(std::int32_t bitDepth) {
  return bitDepth == 2 ? 4 : bitDepth == 1 ? 3 : 2;
}

}  // namespace fluxgrain
