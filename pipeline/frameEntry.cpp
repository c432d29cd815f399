#include "pipeline/frameEntry.h"

#include <cstdint>
#include <cstring>
#include <utility>

#include "engine/feedbackPass.h"
#include "engine/motion.h"
#include "platform/messageBox.h"

namespace fluxgrain {

namespace {

constexpr const char* kNotReady =
    "pPlugObj->fMultiReady is false, setup for processing hasn't been done.";
constexpr const char* kMultiCaption = "Oxa_Multi";
constexpr const char* kNoInput = "Error: No valid input data present";

FFUInt32 fail(const char* caption, const char* text) {
  showMessageBox(caption, text);
  return FF_FAIL;
}

std::size_t frameBytes(const PlugObj& obj, std::int32_t bytesPerPixel) {
  return std::size_t(bytesPerPixel) * std::size_t(obj.fWidth) * std::size_t(obj.fHeight);
}

// Slot 0 of a half, if the half is active and the slot holds an image.
const FrameSlot* firstImage(std::uint32_t count, FrameSlot* const (&half)[kSlotsPerHalf]) {
  const FrameSlot* slot = count > 0 ? half[0] : nullptr;
  return slot != nullptr && slot->fImage != nullptr ? slot : nullptr;
}

bool matchesInstance(const FrameSlot* slot, const PlugObj& obj) {
  return slot == nullptr || (slot->fWidth == obj.fWidth && slot->fHeight == obj.fHeight &&
                             slot->fBytesPerPixel == bytesPerPixel(obj.fBitDepth));
}

// Copies the engine's output into the host's frame, or zero bytes if there is none.
void deliver(const PlugObj& obj, void* frame) {
  const std::size_t n = frameBytes(obj, bytesPerPixel(obj.fBitDepth));
  const FrameSlot* out = firstImage(obj.fMulti->fOutCount, obj.fMulti->fOutputs);
  if (out != nullptr)
    std::memcpy(frame, out->fImage, n);
  else
    std::memset(frame, 0, n);
}

// Whether a pass may read `input` and write `output` block by block: the same frame (in place)
// or two frames apart. Frames that partly overlap take the whole-frame copies instead.
bool blockwise(const void* input, const void* output, std::size_t n) {
  const auto in = reinterpret_cast<std::uintptr_t>(input);
  const auto out = reinterpret_cast<std::uintptr_t>(output);
  return in == out || in + n <= out || out + n <= in;
}

// The engine step of a frame: the last output becomes this pass's history by a swap of the two
// buffers, not a copy (the pass then overwrites every byte of the other one), the animation
// moves on, and the pass runs, making `copies` on the way.
void runEngine(const PluginDef& def, PlugObj& obj, const FrameSlot& input,
               const PassCopies& copies) {
  std::swap(obj.fFeedback, obj.fLastOutput);
  const EngineProfile& profile = def.fProfile;
  advancePhases(obj, profile);
  runFeedbackPass(obj, computeWarpQuad(obj, profile), profile, input, copies);
}

// A host frame call: slot 0 of each half of the descriptor holds the host's input frame and the
// output, and `output` receives the output. The pass reads the host's input itself and fills
// both slot images and the host's output as it goes, so each frame crosses memory once; only if
// a slot has no image (or the frames partly overlap) are the slots filled first and the call
// left to processMulti, which then refuses it (or runs it) as a code-16 call would.
FFUInt32 processHostFrame(const PluginDef& def, PlugObj& obj, const void* input, void* output) {
  const std::int32_t b = bytesPerPixel(obj.fBitDepth);
  const std::size_t n = frameBytes(obj, b);
  MultiFrame& m = *obj.fMulti;
  reconcileSlots(m.fInCount, m.fInputs, 1, nullptr, b, obj.fWidth, obj.fHeight);
  reconcileSlots(m.fOutCount, m.fOutputs, 1, nullptr, b, obj.fWidth, obj.fHeight);
  const FrameSlot* in = firstImage(m.fInCount, m.fInputs);
  const FrameSlot* out = firstImage(m.fOutCount, m.fOutputs);
  if (in != nullptr && out != nullptr && blockwise(input, output, n)) {
    FrameSlot hostInput = *in;
    hostInput.fImage = const_cast<void*>(input);
    PassCopies copies;
    copies.fInputCopy = static_cast<std::uint8_t*>(in->fImage);
    copies.fOutputCopies[0] = static_cast<std::uint8_t*>(out->fImage);
    copies.fOutputCopies[1] = static_cast<std::uint8_t*>(output);
    runEngine(def, obj, hostInput, copies);
    return FF_SUCCESS;
  }
  if (in != nullptr && n > 0) std::memcpy(in->fImage, input, n);
  if (out != nullptr && n > 0) std::memcpy(out->fImage, output, n);
  const FFUInt32 result = processMulti(def, obj, obj.fMulti);
  if (result == FF_SUCCESS) deliver(obj, output);
  return result;
}

}  // namespace

FFUInt32 processFrame(const PluginDef& def, PlugObj& obj, void* frame) {
  if (!obj.fMultiReady) return fail("processFrame Error", kNotReady);
  if (frame == nullptr) return FF_FAIL;
  clampParams(obj.fParams, def.fNumParams);
  return processHostFrame(def, obj, frame, frame);
}

FFUInt32 processFrameCopy(const PluginDef& def, PlugObj& obj, const ProcessFrameCopyStruct* copy) {
  if (!obj.fMultiReady) return fail("processFrameCopy Error", kNotReady);
  if (copy == nullptr || copy->numInputFrames == 0 || copy->InputFrames == nullptr ||
      copy->InputFrames[0] == nullptr || copy->OutputFrame == nullptr) {
    return FF_FAIL;
  }
  clampParams(obj.fParams, def.fNumParams);
  const FFUInt32 result = processHostFrame(def, obj, copy->InputFrames[0], copy->OutputFrame);
  if (result != FF_SUCCESS)
    std::memset(copy->OutputFrame, 0, frameBytes(obj, bytesPerPixel(obj.fBitDepth)));
  return result;
}

FFUInt32 processMulti(const PluginDef& def, PlugObj& obj, MultiFrame* frames) {
  clampParams(obj.fParams, def.fNumParams);
  if (!obj.fMultiReady) return fail(kMultiCaption, "Error: fMultiReady == false");
  if (obj.fMulti == nullptr) return fail(kMultiCaption, "Error: fMulti == NULL");
  if (frames == nullptr) return fail(kMultiCaption, "Error: pFrameData == NULL");
  // Without a slot-0 record in either half the descriptor could never carry a frame again, not
  // even one of FF_PROCESSFRAME: refuse it before taking it over, so the instance keeps its own.
  if (frames->fInputs[0] == nullptr || frames->fOutputs[0] == nullptr) {
    return fail(kMultiCaption, kNoInput);
  }
  // The pass reads and writes whole frames of the instance's format: an image of another size
  // or pixel size would take it outside the caller's buffers.
  if (!matchesInstance(firstImage(frames->fInCount, frames->fInputs), obj) ||
      !matchesInstance(firstImage(frames->fOutCount, frames->fOutputs), obj)) {
    return fail(kMultiCaption, "Error: Image format does not match the instance");
  }
  if (frames != obj.fMulti) std::memcpy(obj.fMulti, frames, sizeof(MultiFrame));

  const MultiFrame& m = *obj.fMulti;
  const FrameSlot* input = firstImage(m.fInCount, m.fInputs);
  const FrameSlot* output = firstImage(m.fOutCount, m.fOutputs);
  if (input == nullptr || output == nullptr) return fail(kMultiCaption, kNoInput);

  // The pass writes the output slot's image as it goes. Images of a caller's descriptor are
  // separate blocks, or one block (in place); partly overlapping ones get a whole-frame copy.
  const std::size_t n = frameBytes(obj, input->fBytesPerPixel);
  PassCopies copies;
  const bool direct = blockwise(input->fImage, output->fImage, n);
  if (direct) copies.fOutputCopies[0] = static_cast<std::uint8_t*>(output->fImage);
  runEngine(def, obj, *input, copies);
  if (!direct) std::memcpy(output->fImage, obj.fLastOutput, n);
  return FF_SUCCESS;
}

}  // namespace fluxgrain
