#include "shell/instance.h"

#include <cstdlib>
#include <cstring>
#include <limits>
#include <type_traits>

#include "shell/heap.h"

namespace fluxgrain {

namespace {

constexpr int kSlotCount = 2 * kSlotsPerHalf;

// a * b, or false when the product does not fit the limit.
bool mulWithin(std::uint64_t a, std::uint64_t b, std::uint64_t limit, std::uint64_t& out) {
  return !__builtin_mul_overflow(a, b, &out) && out <= limit;
}

void releaseTables(PlugObj& obj) {
  std::free(obj.fWaveTable);
  obj.fWaveTable = nullptr;
  std::free(obj.fDirTable);
  obj.fDirTable = nullptr;
}

}  // namespace

bool frameSizeFits(std::uint64_t width, std::uint64_t height, std::int32_t bytesPerPixel,
                   std::int32_t tableFactor) {
  constexpr std::uint64_t kIntMax = std::numeric_limits<std::int32_t>::max();
  constexpr std::uint64_t kSizeMax = std::numeric_limits<std::size_t>::max();
  std::uint64_t pixels = 0, frameBytes = 0, cells = 0, tableBytes = 0;
  return width <= kIntMax && height <= kIntMax && mulWithin(width, height, kIntMax, pixels) &&
         mulWithin(pixels, std::uint64_t(bytesPerPixel), kSizeMax, frameBytes) &&
         mulWithin(pixels, std::uint64_t(tableFactor) * std::uint64_t(tableFactor), kIntMax,
                   cells) &&
         mulWithin(cells, sizeof(std::int32_t), kSizeMax, tableBytes);
}

PlugObj* instantiate(const PluginDef& def, const VideoInfoStruct* info) {
  if (info == nullptr) return nullptr;
  const std::int32_t bitDepth = std::int32_t(info->bitDepth);
  if (info->bitDepth != FF_DEPTH_24 && info->bitDepth != FF_DEPTH_32) return nullptr;
  const std::int32_t b = bytesPerPixel(bitDepth);
  if (!frameSizeFits(info->frameWidth, info->frameHeight, b, def.fProfile.fTableFactor)) {
    return nullptr;
  }

  // The records are plain data and start zeroed, like every other block of the instance.
  static_assert(std::is_trivially_copyable_v<PlugObj> && std::is_trivially_copyable_v<MultiFrame> &&
                std::is_trivially_copyable_v<FrameSlot>);
  PlugObj* obj = allocRecords<PlugObj>(1);
  if (obj == nullptr) return nullptr;
  obj->fMultiReady = false;
  obj->fWidth = std::int32_t(info->frameWidth);
  obj->fHeight = std::int32_t(info->frameHeight);
  obj->fBitDepth = bitDepth;
  obj->fOrientation = std::int32_t(info->orientation);

  const std::size_t frameBytes = std::size_t(b) * std::size_t(obj->fWidth) * std::size_t(obj->fHeight);
  // Both start black: the first frame is blended with zero bytes.
  obj->fFeedback = static_cast<std::uint8_t*>(allocZeroedBytes(frameBytes));
  obj->fLastOutput = static_cast<std::uint8_t*>(allocZeroedBytes(frameBytes));
  for (int i = 0; i < def.fNumParams; ++i) obj->fParams[i].fValue = def.fParamTable[i].fDefault;

  obj->fMulti = allocRecords<MultiFrame>(1);
  obj->fOwnSlots = allocRecords<FrameSlot>(kSlotCount);
  if (obj->fFeedback == nullptr || obj->fLastOutput == nullptr || obj->fMulti == nullptr ||
      obj->fOwnSlots == nullptr) {
    deInstantiate(obj);
    return nullptr;
  }
  for (int i = 0; i < kSlotsPerHalf; ++i) {
    obj->fOwnSlots[i].fKind = kSlotEmpty;
    obj->fOwnSlots[kSlotsPerHalf + i].fKind = kSlotEmpty;
    obj->fMulti->fInputs[i] = &obj->fOwnSlots[i];
    obj->fMulti->fOutputs[i] = &obj->fOwnSlots[kSlotsPerHalf + i];
  }
  obj->fMultiReady = true;
  obj->fPhaseA = 0.0;
  obj->fPhaseB = 0.0;
  if (!def.fBuildTable(*obj)) {
    deInstantiate(obj);
    return nullptr;
  }
  for (double& offset : obj->fCornerOffset) offset = 1.0;
  return obj;
}

void deInstantiate(PlugObj* obj) {
  std::free(obj->fFeedback);
  obj->fFeedback = nullptr;
  if (obj->fMulti != nullptr) {
    for (FrameSlot* slot : obj->fMulti->fInputs)
      if (slot != nullptr) releaseSlot(*slot);
    for (FrameSlot* slot : obj->fMulti->fOutputs)
      if (slot != nullptr) releaseSlot(*slot);
    std::free(obj->fMulti);
    obj->fMulti = nullptr;
  }
  // Our own records, whether still in the descriptor or displaced from it by a caller's: release
  // any image they still hold, then the records themselves.
  if (obj->fOwnSlots != nullptr) {
    for (int i = 0; i < kSlotCount; ++i) releaseSlot(obj->fOwnSlots[i]);
    std::free(obj->fOwnSlots);
    obj->fOwnSlots = nullptr;
  }
  obj->fMultiReady = false;
  std::free(obj->fLastOutput);
  obj->fLastOutput = nullptr;
  releaseTables(*obj);
  std::free(obj);
}

}  // namespace fluxgrain
