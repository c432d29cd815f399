#include "engine/feedbackPass.h"

#include "engine/passKernels.h"

namespace fluxgrain {

namespace {

constexpr float kBlendHalf = 0.5f;

PassKernel detectBestKernel() {
#if FLUXGRAIN_X86_KERNELS
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx2")) return PassKernel::kAvx2;
  if (__builtin_cpu_supports("sse2")) return PassKernel::kSse2;
#endif
  return PassKernel::kReference;
}

// The pixel offset every angle code stands for under this frame's multiplier, so that the walk
// looks up one word per pixel instead of scaling the code and reading its direction entry. The
// sum is the reference's p + row * W + column regrouped, which int32 wrap leaves unchanged.
void fillCodeOffsets(std::int32_t* offsets, const PassContext& ctx) {
  for (std::int32_t code = 0; code < kDirEntries; ++code) {
    const DirEntry d = ctx.fDirTable[(wrapMul(code, ctx.fAngMul) >> 8) & ctx.fDirMask];
    offsets[code] = wrapAdd(wrapMul(d.fCos >> kDirShift, ctx.fWidth), d.fSin >> kDirShift);
  }
}

}  // namespace

std::int32_t blendWeight(const PlugObj& obj, const EngineProfile& profile) {
  const float keep = 1.0f - obj.fParams[kBlend].fValue * kBlendHalf;
  return truncToInt32(double(keep) * profile.fBlendScale);
}

PassKernel bestPassKernel() {
  static const PassKernel best = detectBestKernel();
  return best;
}

bool passKernelAvailable(PassKernel kernel) {
  return kernel == PassKernel::kReference ||
         (kernel == PassKernel::kSse2 && bestPassKernel() != PassKernel::kReference) ||
         kernel == bestPassKernel();
}

void runFeedbackPassWith(PassKernel kernel, PlugObj& obj, const WarpQuad& quad,
                         const EngineProfile& profile, const FrameSlot& input,
                         const PassCopies& copies) {
  const std::int32_t w = obj.fWidth, h = obj.fHeight, k = profile.fTableFactor;
  if (w <= 0 || h <= 0) return;
  // Both products fit int32: instantiate refuses larger frames.
  PassContext ctx{static_cast<const std::uint8_t*>(input.fImage),
                        obj.fFeedback,
                        obj.fLastOutput,
                        obj.fWaveTable,
                        obj.fDirTable,
                        nullptr,
                        w,
                        h,
                        k * w,
                        k * k * w * h - 1,
                        w * h - 1,
                        blendWeight(obj, profile),
                        profile.fOrbit ? angleMultiplier(obj, profile) : 0,
                        profile.fDirMask,
                        copies};
  const std::int32_t bpp = input.fBytesPerPixel;
  // The 16-bit blend lanes hold weights 0 to 256, all that a limited "Blend" gives.
  // The fast kernels of the angle-code plug-ins read the code offsets, which buildDirTable makes.
  if (ctx.fWeight < 0 || ctx.fWeight > 256 || !passKernelAvailable(kernel) ||
      (profile.fOrbit && obj.fCodeOffsets == nullptr))
    kernel = PassKernel::kReference;
  if (kernel != PassKernel::kReference && profile.fOrbit) {
    if (!obj.fCodeOffsetsFilled || obj.fCodeOffsetsAngMul != ctx.fAngMul) {
      fillCodeOffsets(obj.fCodeOffsets, ctx);
      obj.fCodeOffsetsFilled = true;
      obj.fCodeOffsetsAngMul = ctx.fAngMul;
    }
    ctx.fCodeOffsets = obj.fCodeOffsets;
  }
  switch (kernel) {
#if FLUXGRAIN_X86_KERNELS
    case PassKernel::kAvx2:
      return avx2Pass(ctx, quad, bpp, profile.fOrbit);
    case PassKernel::kSse2:
      return sse2Pass(ctx, quad, bpp, profile.fOrbit);
#endif
    default:
      return referencePass(ctx, quad, bpp, profile.fOrbit);
  }
}

void runFeedbackPass(PlugObj& obj, const WarpQuad& quad, const EngineProfile& profile,
                     const FrameSlot& input, const PassCopies& copies) {
  runFeedbackPassWith(bestPassKernel(), obj, quad, profile, input, copies);
}

}  // namespace fluxgrain
