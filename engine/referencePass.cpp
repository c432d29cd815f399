// The feedback pass written as plainly as the algorithm reads, one pixel and one byte at a time.
// The fast kernels must give the same bytes; the tests hold them to this one.
#include "engine/passKernels.h"

#include <cstring>

namespace fluxgrain {

namespace {

template <int kBpp, bool kAngleCodes>
void walk(const PassContext& ctx, const WarpQuad& q) {
  const std::int32_t w = ctx.fWidth, h = ctx.fHeight;
  std::int32_t rowX = q.fStartX, rowY = q.fStartY;
  for (std::int32_t r = 0; r < h; ++r) {
    const RowSpans s = rowSpans(q, w, h, r);
    std::int32_t x = rowX, y = rowY;
    const std::int32_t rowStart = r * w;
    for (std::int32_t c = 0; c < w; ++c) {
      const std::int32_t idx =
          clampIndex(wrapAdd(wrapMul(y >> 8, ctx.fTableWidth), x >> 8), ctx.fLastCell);
      const std::int32_t p = rowStart + c;
      std::int32_t src;
      if constexpr (kAngleCodes) {
        const std::int32_t e = (wrapMul(ctx.fTable[idx], ctx.fAngMul) >> 8) & ctx.fDirMask;
        const DirEntry d = ctx.fDirTable[e];
        src = wrapAdd(wrapAdd(p, wrapMul(d.fCos >> kDirShift, w)), d.fSin >> kDirShift);
      } else {
        src = wrapAdd(p, ctx.fTable[idx]);
      }
      src = clampIndex(src, ctx.fLastPixel);
      const std::uint8_t* a = ctx.fInput + std::size_t(p) * kBpp;
      const std::uint8_t* b = ctx.fFeedback + std::size_t(src) * kBpp;
      std::uint8_t* out = ctx.fOutput + std::size_t(p) * kBpp;
      for (int k = 0; k < kBpp; ++k) out[k] = blendByte(a[k], b[k], ctx.fWeight);
      x = wrapAdd(x, wrapAdd(wrapMul(s.fSpanX, c), s.fBaseX) / w);
      y = wrapAdd(y, wrapAdd(wrapMul(s.fSpanY, c), s.fBaseY) / w);
    }
    rowX = wrapAdd(rowX, edgeStep(h, q.fLeftStepX, q.fRightStepX, r));
    rowY = wrapAdd(rowY, edgeStep(h, q.fLeftStepY, q.fRightStepY, r));
  }
}

}  // namespace

void referencePass(const PassContext& ctx, const WarpQuad& q, std::int32_t bytesPerPixel,
                   bool angleCodes) {
  const std::size_t n = std::size_t(bytesPerPixel) * std::size_t(ctx.fWidth) *
                        std::size_t(ctx.fHeight);
  if (ctx.fCopies.fInputCopy != nullptr) std::memcpy(ctx.fCopies.fInputCopy, ctx.fInput, n);
  const bool wide = bytesPerPixel == 4;
  if (angleCodes) {
    wide ? walk<4, true>(ctx, q) : walk<3, true>(ctx, q);
  } else {
    wide ? walk<4, false>(ctx, q) : walk<3, false>(ctx, q);
  }
  for (std::uint8_t* to : ctx.fCopies.fOutputCopies)
    if (to != nullptr) std::memcpy(to, ctx.fOutput, n);
}

}  // namespace fluxgrain
