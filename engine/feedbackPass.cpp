#include "engine/feedbackPass.h"

#include "engine/dirTable.h"
#include "engine/intMath.h"

namespace fluxgrain {

namespace {

constexpr float kBlendHalf = 0.5f;

// The step of one edge at row r of H, interpolated between two edge steps; truncating division.
inline std::int32_t edgeStep(std::int32_t h, std::int32_t from, std::int32_t to, std::int32_t r) {
  return wrapAdd(wrapMul(h, from), wrapMul(r, wrapSub(to, from))) / h;
}

constexpr std::int32_t clampIndex(std::int32_t i, std::int32_t last) {
  return i < 0 ? 0 : i > last ? last : i;
}

struct PassContext {
  const std::uint8_t* fInput;
  const std::uint8_t* fFeedback;
  std::uint8_t* fOutput;
  const std::int32_t* fTable;
  const DirEntry* fDirTable;
  std::int32_t fWidth, fHeight, fTableWidth, fLastCell, fLastPixel;
  std::int32_t fWeight, fAngMul, fDirMask;
};

// The walk, specialised for the pixel size and the kind of table so the inner loop has no branch
// on either.
template <int kBpp, bool kAngleCodes>
void walk(const PassContext& ctx, const WarpQuad& q) {
  const std::int32_t w = ctx.fWidth, h = ctx.fHeight;
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
      x = wrapAdd(x, wrapAdd(wrapMul(spanX, c), baseX) / w);
      y = wrapAdd(y, wrapAdd(wrapMul(spanY, c), baseY) / w);
    }
    rowX = wrapAdd(rowX, edgeStep(h, q.fLeftStepX, q.fRightStepX, r));
    rowY = wrapAdd(rowY, edgeStep(h, q.fLeftStepY, q.fRightStepY, r));
  }
}

}  // namespace

std::int32_t blendWeight(const PlugObj& obj, const EngineProfile& profile) {
  const float keep = 1.0f - obj.fParams[kBlend].fValue * kBlendHalf;
  return truncToInt32(double(keep) * profile.fBlendScale);
}

void runFeedbackPass(PlugObj& obj, const WarpQuad& quad, const EngineProfile& profile,
                     const FrameSlot& input) {
  const std::int32_t w = obj.fWidth, h = obj.fHeight, k = profile.fTableFactor;
  if (w <= 0 || h <= 0) return;
  // Both products fit int32: instantiate refuses larger frames.
  const PassContext ctx{static_cast<const std::uint8_t*>(input.fImage),
                        obj.fFeedback,
                        obj.fLastOutput,
                        obj.fWaveTable,
                        obj.fDirTable,
                        w,
                        h,
                        k * w,
                        k * k * w * h - 1,
                        w * h - 1,
                        blendWeight(obj, profile),
                        profile.fOrbit ? angleMultiplier(obj, profile) : 0,
                        profile.fDirMask};
  const bool wide = input.fBytesPerPixel == 4;
  if (profile.fOrbit) {
    wide ? walk<4, true>(ctx, quad) : walk<3, true>(ctx, quad);
  } else {
    wide ? walk<4, false>(ctx, quad) : walk<3, false>(ctx, quad);
  }
}

}  // namespace fluxgrain
