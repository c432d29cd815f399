// The per-pixel pass: walk the warp quad over the WaveTable, displace each pixel's index, fetch
// that pixel of the previous output and blend it into the input.
#pragma once

#include <cstdint>

#include "engine/motion.h"
#include "pipeline/frameSlots.h"

namespace fluxgrain {

// The weight c (out of 256) of the feedback pixel, from "Blend".
std::int32_t blendWeight(const PlugObj& obj, const EngineProfile& profile);

// One output byte: A + floor((B - A) * c / 256), always between A and B for c <= 256.
constexpr std::uint8_t blendByte(std::int32_t a, std::int32_t b, std::int32_t c) {
  return std::uint8_t(a + (((b - a) * c) >> 8));
}

// Writes all W x H pixels of obj.fLastOutput from the input slot's image and obj.fFeedback.
// The input image must hold W x H pixels of input.fBytesPerPixel (3 or 4) bytes.
// Frame copies the pass makes on its way, so that each frame is read from memory once: the input
// it reads also lands in fInputCopy, and its output also in fOutputCopies. Any may be null; none
// may overlap the input, fFeedback or fLastOutput, except that fOutputCopies may include the
// input itself (a frame processed in place).
struct PassCopies {
  std::uint8_t* fInputCopy = nullptr;
  std::uint8_t* fOutputCopies[2] = {nullptr, nullptr};
};

// Runs the fastest kernel this CPU has.
void runFeedbackPass(PlugObj& obj, const WarpQuad& quad, const EngineProfile& profile,
                     const FrameSlot& input, const PassCopies& copies = {});

// The implementations of the pass; every one writes the same bytes.
enum class PassKernel { kReference, kSse2, kAvx2 };

// The kernel runFeedbackPass uses on this CPU (chosen once, by the instructions it has).
PassKernel bestPassKernel();
bool passKernelAvailable(PassKernel kernel);

// runFeedbackPass with a chosen kernel; one the CPU lacks falls back to the reference.
void runFeedbackPassWith(PassKernel kernel, PlugObj& obj, const WarpQuad& quad,
                         const EngineProfile& profile, const FrameSlot& input,
                         const PassCopies& copies = {});

}  // namespace fluxgrain
