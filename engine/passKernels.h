// The implementations of the feedback pass that runFeedbackPass chooses from.
#pragma once

#include <cstdint>

#include "engine/passContext.h"

namespace fluxgrain {

// One pixel and one byte at a time, as the algorithm reads.
void referencePass(const PassContext& ctx, const WarpQuad& q, std::int32_t bytesPerPixel,
                   bool angleCodes);

#if defined(__x86_64__) || defined(__i386__)
#define FLUXGRAIN_X86_KERNELS 1
// A row at a time in blocks of columns: the column steps' divisions in double lanes (exact for
// int32 operands), the table lookups per pixel, the blend in 16-bit lanes. SSE2 and AVX2
// builds of the same walk; the caller checks that the CPU has the instructions.
void sse2Pass(const PassContext& ctx, const WarpQuad& q, std::int32_t bytesPerPixel,
              bool angleCodes);
void avx2Pass(const PassContext& ctx, const WarpQuad& q, std::int32_t bytesPerPixel,
              bool angleCodes);
#endif

}  // namespace fluxgrain
