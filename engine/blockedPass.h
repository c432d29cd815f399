// The blocked walk the x86 kernels share, parameterised by the instruction set's two block
// operations: Isa::quotients fills q[k] = (span * (c0 + k) + base) / w for a block (int32 wrap,
// truncating division), Isa::blend blends `bytes` contiguous bytes. Each is called once per block,
// so the walk itself needs no target attribute.
#pragma once

#include <cstring>

#include "engine/passKernels.h"

namespace fluxgrain {

// Columns per block: the block's quotients and gathered feedback pixels stay in L1 on the stack.
constexpr std::int32_t kBlockColumns = 128;

template <class Isa, int kBpp, bool kAngleCodes>
void blockedWalk(const PassContext& ctx, const WarpQuad& q) {
  const std::int32_t w = ctx.fWidth, h = ctx.fHeight;
  alignas(32) std::int32_t qx[kBlockColumns], qy[kBlockColumns];
  alignas(32) std::uint8_t fetched[kBlockColumns * kBpp];
  const std::int32_t* table = ctx.fTable;
  const std::int32_t tableWidth = ctx.fTableWidth, lastCell = ctx.fLastCell;
  const std::int32_t lastPixel = ctx.fLastPixel;
  std::int32_t rowX = q.fStartX, rowY = q.fStartY;
  for (std::int32_t r = 0; r < h; ++r) {
    const std::int32_t aX = edgeStep(h, q.fTopStepX, q.fBottomStepX, r);
    const std::int32_t bX = edgeStep(h, q.fBottomStepX, q.fTopStepX, r);
    const std::int32_t aY = edgeStep(h, q.fTopStepY, q.fBottomStepY, r);
    const std::int32_t bY = edgeStep(h, q.fBottomStepY, q.fTopStepY, r);
    const std::int32_t spanX = wrapSub(bX, aX), baseX = wrapMul(w, aX);
    const std::int32_t spanY = wrapSub(bY, aY), baseY = wrapMul(w, aY);
    std::int32_t x = rowX, y = rowY;
    const std::int32_t rowStart = r * w;
    for (std::int32_t c0 = 0; c0 < w; c0 += kBlockColumns) {
      const std::int32_t n = w - c0 < kBlockColumns ? w - c0 : kBlockColumns;
      Isa::quotients(spanX, baseX, spanY, baseY, w, c0, n, qx, qy);
      for (std::int32_t k = 0; k < n; ++k) {
        const std::int32_t p = rowStart + c0 + k;
        const std::int32_t idx =
            clampIndex(wrapAdd(wrapMul(y >> 8, tableWidth), x >> 8), lastCell);
        std::int32_t src;
        if constexpr (kAngleCodes) {
          const std::int32_t e = (wrapMul(table[idx], ctx.fAngMul) >> 8) & ctx.fDirMask;
          const DirEntry d = ctx.fDirTable[e];
          src = wrapAdd(wrapAdd(p, wrapMul(d.fCos >> kDirShift, w)), d.fSin >> kDirShift);
        } else {
          src = wrapAdd(p, table[idx]);
        }
        src = clampIndex(src, lastPixel);
        std::memcpy(fetched + std::size_t(k) * kBpp, ctx.fFeedback + std::size_t(src) * kBpp,
                    kBpp);
        x = wrapAdd(x, qx[k]);
        y = wrapAdd(y, qy[k]);
      }
      const std::size_t at = std::size_t(rowStart + c0) * kBpp;
      Isa::blend(ctx.fInput + at, fetched, ctx.fOutput + at, std::size_t(n) * kBpp, ctx.fWeight);
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
