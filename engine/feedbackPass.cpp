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
                         const EngineProfile& profile, const FrameSlot& input) {
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
  const std::int32_t bpp = input.fBytesPerPixel;
  // The 16-bit blend lanes hold weights 0 to 256, all that a limited "Blend" gives.
  if (ctx.fWeight < 0 || ctx.fWeight > 256 || !passKernelAvailable(kernel))
    kernel = PassKernel::kReference;
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
                     const FrameSlot& input) {
  runFeedbackPassWith(bestPassKernel(), obj, quad, profile, input);
}

}  // namespace fluxgrain
