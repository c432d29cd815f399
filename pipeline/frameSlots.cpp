#include "pipeline/frameSlots.h"

#include <cstdlib>
#include <cstring>

#include "shell/heap.h"

namespace fluxgrain {

namespace {

void releaseAuxOnly(FrameSlot& slot) {
  if (slot.fAux != nullptr && slot.fAux != slot.fImage) std::free(slot.fAux);
  slot.fAux = nullptr;
}

}  // namespace

void releaseSlot(FrameSlot& slot) {
  slot.fKind = kSlotEmpty;
  releaseAuxOnly(slot);
  std::free(slot.fImage);
  slot.fImage = nullptr;
  slot.fWidth = 0;
  slot.fHeight = 0;
  slot.fReserved1 = 0;
  slot.fReserved2 = 0;
  slot.fBytesPerPixel = 0;
}

void reconcileSlots(std::uint32_t& halfCount, FrameSlot* const (&half)[kSlotsPerHalf],
                    std::uint32_t count, const void* const* sources, std::int32_t bytesPerPixel,
                    std::int32_t width, std::int32_t height) {
  const std::size_t bytes =
      std::size_t(bytesPerPixel) * std::size_t(width) * std::size_t(height);
  halfCount = count;
  for (std::uint32_t i = 0; i < kSlotsPerHalf; ++i) {
    FrameSlot* slot = half[i];
    if (slot == nullptr) continue;
    if (i >= count) {
      releaseSlot(*slot);
      continue;
    }
    const bool reusable = slot->fWidth == width && slot->fHeight == height &&
                          slot->fBytesPerPixel == bytesPerPixel && slot->fImage != nullptr;
    if (!reusable) {
      // An image named by fAux too must not be released twice: drop that alias first.
      if (slot->fAux == slot->fImage) slot->fAux = nullptr;
      std::free(slot->fImage);
      slot->fImage = allocBytes(bytes);
    }
    slot->fBytesPerPixel = bytesPerPixel;
    slot->fKind = (bytesPerPixel == 3 || bytesPerPixel == 4) ? kSlotImage : kSlotEmpty;
    slot->fWidth = width;
    slot->fHeight = height;
    if (sources != nullptr && slot->fImage != nullptr && bytes > 0) std::memcpy(slot->fImage, sources[i], bytes);
    releaseAuxOnly(*slot);
    slot->fReserved1 = 0;
    slot->fReserved2 = 0;
  }
}

}  // namespace fluxgrain
