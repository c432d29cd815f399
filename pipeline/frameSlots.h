// The multi-frame descriptor and its image slots. Callers of code 16 build these records
// themselves, so their layout is fixed: 32-bit fields, pointers of the build's width.
#pragma once

#include <cstddef>
#include <cstdint>

namespace fluxgrain {

constexpr int kSlotsPerHalf = 16;
constexpr std::int32_t kSlotEmpty = 1;    // fKind of an empty slot or one of an odd pixel size
constexpr std::int32_t kSlotImage = 1001;  // fKind of a slot holding a 3- or 4-byte-per-pixel image

struct FrameSlot {
  std::int32_t fKind;
  std::int32_t fBytesPerPixel;
  void* fImage;  // fWidth * fHeight pixels, row after row; C heap, owned by the instance
  std::int32_t fWidth;
  std::int32_t fHeight;
  void* fAux;  // never created here, but released if a caller hands one over
  std::int32_t fReserved1;
  std::int32_t fReserved2;
};

struct MultiFrame {
  std::uint32_t fInCount;
  FrameSlot* fInputs[kSlotsPerHalf];
  std::uint32_t fOutCount;
  FrameSlot* fOutputs[kSlotsPerHalf];
};

constexpr std::size_t kWord = sizeof(void*);
static_assert(offsetof(FrameSlot, fImage) == 8 && offsetof(FrameSlot, fWidth) == 8 + kWord &&
              offsetof(FrameSlot, fAux) == (kWord == 8 ? 24 : 20) &&
              offsetof(FrameSlot, fReserved2) == (kWord == 8 ? 36 : 28) &&
              sizeof(FrameSlot) == (kWord == 8 ? 40 : 32));
static_assert(offsetof(MultiFrame, fInputs) == kWord &&
              offsetof(MultiFrame, fOutCount) == (kWord == 8 ? 136 : 68) &&
              offsetof(MultiFrame, fOutputs) == (kWord == 8 ? 144 : 72) &&
              sizeof(MultiFrame) == (kWord == 8 ? 272 : 136));

// Empties a slot: releases its image and auxiliary buffer (once if they are the same buffer).
void releaseSlot(FrameSlot& slot);

// Makes one half of a descriptor hold exactly `count` copies of `sources` (each
// bytesPerPixel * width * height bytes) in slots 0 .. count-1 and empties the others. A slot keeps
// its image buffer when its format already matches, so the steady state allocates nothing.
// A slot whose image cannot be allocated is left without one. With `sources` null the images are
// given their format but not filled (for a caller about to overwrite them).
void reconcileSlots(std::uint32_t& halfCount, FrameSlot* const (&half)[kSlotsPerHalf],
                    std::uint32_t count, const void* const* sources, std::int32_t bytesPerPixel,
                    std::int32_t width, std::int32_t height);

}  // namespace fluxgrain
