// Drives the eight effects in-process through dispatch, word for word as plugMain passes the
// host's calls on: the robustness programs link all eight records into one program.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <vector>

#include "effects/effects.h"
#include "pipeline/frameSlots.h"
#include "platform/messageBox.h"
#include "shell/dispatch.h"
#include "shell/freeframe.h"
#include "tests/support/patternBytes.h"

namespace fluxgrain::robust {

inline const std::array<const PluginDef*, 8> kEffects = {
    &kPellum, &kCaldor, &kFennix, &kGralden, &kOrvial, &kZentrik, &kLumbra, &kSolvane};

// The whole word is FF_FAIL (a 32-bit answer leaves the upper half of a 64-bit word clear).
inline bool isFail(FFMixed m) {
  const FFMixed failed = mixedWord(FF_FAIL);
  return std::memcmp(&m, &failed, sizeof m) == 0;
}

inline FFUInt32 call32(const PluginDef& def, FFUInt32 code, const void* input, PlugObj* obj) {
  return dispatch(def, code, mixedPointer(input), obj).UIntValue;
}

// FF_INSTANTIATE; nullptr when refused.
inline PlugObj* instantiateWith(const PluginDef& def, FFUInt32 width, FFUInt32 height,
                                FFUInt32 bitDepth, FFUInt32 orientation = 1) {
  const VideoInfoStruct info{width, height, bitDepth, orientation};
  const FFMixed r = dispatch(def, FF_INSTANTIATE, mixedPointer(&info), nullptr);
  return isFail(r) ? nullptr : static_cast<PlugObj*>(r.PointerValue);
}

inline FFUInt32 deinstantiate(const PluginDef& def, PlugObj* obj) {
  return call32(def, FF_DEINSTANTIATE, nullptr, obj);
}

inline FFUInt32 setParameter(const PluginDef& def, PlugObj* obj, FFUInt32 index, float value) {
  SetParameterStruct set{};
  set.index = index;
  set.value.FloatValue = value;
  return call32(def, FF_SETPARAMETER, &set, obj);
}

inline FFUInt32 processCopy(const PluginDef& def, PlugObj* obj, void* input, void* output) {
  void* inputs[1] = {input};
  const ProcessFrameCopyStruct copy{1, inputs, output};
  return call32(def, FF_PROCESSFRAMECOPY, &copy, obj);
}

// 64-bit FNV-1a, chained through `hash`.
inline std::uint64_t fnv1a(const std::uint8_t* data, std::size_t size,
                           std::uint64_t hash = 14695981039346656037ull) {
  for (std::size_t i = 0; i < size; ++i) hash = (hash ^ data[i]) * 1099511628211ull;
  return hash;
}

// Collects the frame-path messages ("caption: text" lines) while it lives, in a fixed buffer:
// showing a message allocates nothing, so heap figures taken around a call stay exact.
class MessageLog {
 public:
  MessageLog() { fPrevious = setMessageSink(&record); }
  ~MessageLog() { setMessageSink(fPrevious); }
  MessageLog(const MessageLog&) = delete;
  MessageLog& operator=(const MessageLog&) = delete;
  // What was shown since the last clear().
  static std::string_view text() { return {buffer(), std::strlen(buffer())}; }
  static void clear() { buffer()[0] = '\0'; }

 private:
  static constexpr std::size_t kCapacity = 1024;
  static char* buffer() {
    static char b[kCapacity];
    return b;
  }
  static void record(const char* caption, const char* message) {
    char* b = buffer();
    const std::size_t used = std::strlen(b);
    std::snprintf(b + used, kCapacity - used, "%s: %s\n", caption, message);
  }
  MessageSink fPrevious;
};

}  // namespace fluxgrain::robust
