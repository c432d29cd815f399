#include "pipeline/frameEntry.h"

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

// Copies the host's input and output frames into slot 0 of the instance's descriptor. The output
// frame is copied only if the frame call is bound to fail for want of an input image: otherwise
// the pass's result overwrites the whole slot image before anyone can see it.
void loadSlots(PlugObj& obj, const void* input, const void* output) {
  const std::int32_t b = bytesPerPixel(obj.fBitDepth);
  MultiFrame& m = *obj.fMulti;
  reconcileSlots(m.fInCount, m.fInputs, 1, &input, b, obj.fWidth, obj.fHeight);
  const bool willRun = firstImage(m.fInCount, m.fInputs) != nullptr;
  reconcileSlots(m.fOutCount, m.fOutputs, 1, willRun ? nullptr : &output, b, obj.fWidth,
                 obj.fHeight);
}

}  // namespace

FFUInt32 processFrame(const PluginDef& def, PlugObj& obj, void* frame) {
  if (!obj.fMultiReady) return fail("processFrame Error", kNotReady);
  if (frame == nullptr) return FF_FAIL;
  clampParams(obj.fParams, def.fNumParams);
  loadSlots(obj, frame, frame);
  const FFUInt32 result = processMulti(def, obj, obj.fMulti);
  if (result != FF_SUCCESS) return result;
  deliver(obj, frame);
  return FF_SUCCESS;
}

FFUInt32 processFrameCopy(const PluginDef& def, PlugObj& obj, const ProcessFrameCopyStruct* copy) {
  if (!obj.fMultiReady) return fail("processFrameCopy Error", kNotReady);
  if (copy == nullptr || copy->numInputFrames == 0 || copy->InputFrames == nullptr ||
      copy->InputFrames[0] == nullptr || copy->OutputFrame == nullptr) {
    return FF_FAIL;
  }
  clampParams(obj.fParams, def.fNumParams);
  loadSlots(obj, copy->InputFrames[0], copy->OutputFrame);
  const FFUInt32 result = processMulti(def, obj, obj.fMulti);
  if (result == FF_SUCCESS)
    deliver(obj, copy->OutputFrame);
  else
    std::memset(copy->OutputFrame, 0, frameBytes(obj, bytesPerPixel(obj.fBitDepth)));
  return result;
}

FFUInt32 processMulti(const PluginDef& def, PlugObj& obj, MultiFrame* frames) {
  clampParams(obj.fParams, def.fNumParams);
  if (!obj.fMultiReady) return fail(kMultiCaption, "Error: fMultiReady == false");
  if (obj.fMulti == nullptr) return fail(kMultiCaption, "Error: fMulti == NULL");
  if (frames == nullptr) return fail(kMultiCaption, "Error: pFrameData == NULL");
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
  if (input == nullptr || output == nullptr) {
    return fail(kMultiCaption, "Error: No valid input data present");
  }

  // The last output becomes this pass's history by a swap of the two buffers, not a copy: the
  // pass then overwrites every byte of the other one.
  const std::size_t n = frameBytes(obj, input->fBytesPerPixel);
  std::swap(obj.fFeedback, obj.fLastOutput);
  const EngineProfile& profile = def.fProfile;
  advancePhases(obj, profile);
  runFeedbackPass(obj, computeWarpQuad(obj, profile), profile, *input);
  std::memcpy(output->fImage, obj.fLastOutput, n);
  return FF_SUCCESS;
}

}  // namespace fluxgrain
