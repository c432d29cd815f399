// The blocked walk the x86 kernels share, parameterised by the instruction set's two block
// operations: Isa::cells fills cell[k] with the clamped table index of column c0 + k of a block and
// moves the walk position on past the block; Isa::blend blends `bytes` contiguous bytes. Each is
// called once per block, so the walk itself needs no target attribute.
#pragma once

#include <cstring>

#include "engine/passKernels.h"

namespace fluxgrain {

// Columns per block: the block's indices and gathered feedback pixels stay in L1 on the stack.
constexpr std::int32_t kBlockColumns = 128;

// One row of the walk: its column steps, the constants of the table index, and the position.
struct RowWalk {
  RowSpans fSpans;
  std::int32_t fWidth, fTableWidth, fLastCell;
  std::int32_t fX, fY;  // position at the next column to visit
};

// The scalar form of Isa::cells, given the block's column quotients.
inline void cellsFromQuotients(RowWalk& row, const std::int32_t* qx, const std::int32_t* qy,
                               std::int32_t n, std::int32_t* cell) {
  std::int32_t x = row.fX, y = row.fY;
  for (std::int32_t k = 0; k < n; ++k) {
    cell[k] = clampIndex(wrapAdd(wrapMul(y >> 8, row.fTableWidth), x >> 8), row.fLastCell);
    x = wrapAdd(x, qx[k]);
    y = wrapAdd(y, qy[k]);
  }
  row.fX = x;
  row.fY = y;
}

template <class Isa, int kBpp, bool kAngleCodes>
void blockedWalk(const PassContext& ctx, const WarpQuad& q) {
  const std::int32_t w = ctx.fWidth, h = ctx.fHeight;
  alignas(32) std::int32_t cell[kBlockColumns];
  alignas(32) std::uint8_t fetched[kBlockColumns * kBpp];
  const std::int32_t* table = ctx.fTable;
  const std::int32_t lastPixel = ctx.fLastPixel;
  const std::int32_t* codeOffsets = ctx.fCodeOffsets;
  std::int32_t rowX = q.fStartX, rowY = q.fStartY;
  for (std::int32_t r = 0; r < h; ++r) {
    RowWalk row{rowSpans(q, w, h, r), w, ctx.fTableWidth, ctx.fLastCell, rowX, rowY};
    const std::int32_t rowStart = r * w;
    for (std::int32_t c0 = 0; c0 < w; c0 += kBlockColumns) {
      const std::int32_t n = w - c0 < kBlockColumns ? w - c0 : kBlockColumns;
      Isa::cells(row, c0, n, cell);
      for (std::int32_t k = 0; k < n; ++k) {
        const std::int32_t p = rowStart + c0 + k;
        std::int32_t src;
        if constexpr (kAngleCodes) {
          const std::int32_t code = table[cell[k]];
          if (std::uint32_t(code) < std::uint32_t(kDirEntries)) {
            src = wrapAdd(p, codeOffsets[code]);
          } else {  // a cell outside the codes the builders make
            const DirEntry d = ctx.fDirTable[(wrapMul(code, ctx.fAngMul) >> 8) & ctx.fDirMask];
            src = wrapAdd(wrapAdd(p, wrapMul(d.fCos >> kDirShift, w)), d.fSin >> kDirShift);
          }
        } else {
          src = wrapAdd(p, table[cell[k]]);
        }
        src = clampIndex(src, lastPixel);
        std::memcpy(fetched + std::size_t(k) * kBpp, ctx.fFeedback + std::size_t(src) * kBpp,
                    kBpp);
      }
      // The block's copies are made while its bytes are in L1: the input before the block's
      // output can overwrite it (in place), the output copies after the blend.
      const std::size_t at = std::size_t(rowStart + c0) * kBpp, bytes = std::size_t(n) * kBpp;
      if (ctx.fCopies.fInputCopy != nullptr)
        std::memcpy(ctx.fCopies.fInputCopy + at, ctx.fInput + at, bytes);
      Isa::blend(ctx.fInput + at, fetched, ctx.fOutput + at, bytes, ctx.fWeight);
      for (std::uint8_t* to : ctx.fCopies.fOutputCopies)
        if (to != nullptr) std::memcpy(to + at, ctx.fOutput + at, bytes);
    }
    rowX = wrapAdd(rowX, edgeStep(h, q.fLeftStepX, q.fRightStepX, r));
    rowY = wrapAdd(rowY, edgeStep(h, q.fLeftStepY, q.fRightStepY, r));
  }
}

template <class Isa>
void blockedPass(const PassContext& ctx, const WarpQuad& q, std::int32_t bytesPerPixel,
                 bool angleCodes) {
  const bool wide = bytesPerPixel == 4;
  if (angleCodes) {
    wide ? blockedWalk<Isa, 4, true>(ctx, q) : blockedWalk<Isa, 3, true>(ctx, q);
  } else {
    wide ? blockedWalk<Isa, 4, false>(ctx, q) : blockedWalk<Isa, 3, false>(ctx, q);
  }
}

}  // namespace fluxgrain
