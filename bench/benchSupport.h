// What the benchmarks share: the eight plug-ins, the frame sizes measured, and instances
// created and driven through dispatch the way a host drives plugMain.
#pragma once

#include <benchmark/benchmark.h>

#include <malloc.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "effects/effects.h"
#include "shell/dispatch.h"
#include "shell/freeframe.h"
#include "tests/support/patternBytes.h"

namespace fluxgrain::bench {

inline const std::array<const PluginDef*, 8> kEffects = {
    &kPellum, &kCaldor, &kFennix, &kGralden, &kOrvial, &kZentrik, &kLumbra, &kSolvane};

// A frame format: 32-bit pixels unless a benchmark asks for 24-bit ones.
struct FrameSize {
  std::int32_t fWidth;
  std::int32_t fHeight;
  std::int32_t fBytesPerPixel = 4;

  std::size_t bytes() const {
    return std::size_t(fBytesPerPixel) * std::size_t(fWidth) * std::size_t(fHeight);
  }
};
inline constexpr std::array<FrameSize, 2> kSizes = {{{640, 480}, {1920, 1080}}};

inline FrameSize withDepth(FrameSize size, std::int32_t bytesPerPixel) {
  size.fBytesPerPixel = bytesPerPixel;
  return size;
}

inline std::string sizeName(const FrameSize& size) {
  return std::to_string(size.fWidth) + "x" + std::to_string(size.fHeight) + "/" +
         std::to_string(8 * size.fBytesPerPixel) + "bit";
}

inline std::string benchName(const char* what, const PluginDef& def, const FrameSize& size) {
  return std::string(what) + "/" + def.fName + "/" + sizeName(size);
}

// A new instance through FF_INSTANTIATE, or nullptr.
inline PlugObj* newInstance(const PluginDef& def, const FrameSize& size) {
  const VideoInfoStruct info{FFUInt32(size.fWidth), FFUInt32(size.fHeight),
                             size.fBytesPerPixel == 3 ? FF_DEPTH_24 : FF_DEPTH_32, 1};
  const FFMixed r = dispatch(def, FF_INSTANTIATE, mixedPointer(&info), nullptr);
  // A refusal is the word FF_FAIL, with the upper half of a 64-bit word clear.
  return r.PointerValue == mixedWord(FF_FAIL).PointerValue ? nullptr : static_cast<PlugObj*>(r.PointerValue);
}

inline void deleteInstance(const PluginDef& def, PlugObj* obj) {
  dispatch(def, FF_DEINSTANTIATE, mixedPointer(nullptr), obj);
}

inline bool processFrame(const PluginDef& def, PlugObj* obj, std::uint8_t* frame) {
  return dispatch(def, FF_PROCESSFRAME, mixedPointer(frame), obj).UIntValue == FF_SUCCESS;
}

// The instance of the frame benchmark that is running, kept from one call of the benchmark
// function to the next: the library calls it several times while it settles the iteration count,
// and building the tables each time would take most of the run. At most one lives at a time.
struct SharedInstance {
  const PluginDef* fDef = nullptr;
  FrameSize fSize{0, 0};
  PlugObj* fObj = nullptr;

  void release() {
    if (fObj != nullptr) deleteInstance(*fDef, fObj);
    fObj = nullptr;
  }
  ~SharedInstance() { release(); }
};

inline SharedInstance& sharedSlot() {
  static SharedInstance slot;
  return slot;
}

// The kept instance for this plug-in and size, replacing (and releasing) any other.
inline PlugObj* sharedInstance(const PluginDef& def, const FrameSize& size) {
  SharedInstance& slot = sharedSlot();
  if (slot.fObj != nullptr && slot.fDef == &def && slot.fSize.fWidth == size.fWidth &&
      slot.fSize.fHeight == size.fHeight && slot.fSize.fBytesPerPixel == size.fBytesPerPixel) {
    return slot.fObj;
  }
  slot.release();
  slot.fDef = &def;
  slot.fSize = size;
  slot.fObj = newInstance(def, size);
  return slot.fObj;
}

// Benchmarks that create their own instances call this first, so that no kept one is in the way.
inline void releaseSharedInstance() { sharedSlot().release(); }

// Bytes in use on the heap: chunks of the arenas plus blocks mapped on their own.
inline double heapInUse() {
  const struct mallinfo2 info = mallinfo2();
  return double(info.uordblks) + double(info.hblkhd);
}

// Heap growth of one instance: across FF_INSTANTIATE, and across FF_INSTANTIATE and the first
// FF_PROCESSFRAME (which allocates the two slot images).
struct HeapGrowth {
  double fInstantiate = 0.0;
  double fFirstFrame = 0.0;
};

// The growth measured so far, by plug-in and size: the instantiate benchmark measures it on the
// way, so that the memory benchmark need not build the same tables once more.
inline std::map<std::string, HeapGrowth>& measuredGrowth() {
  static std::map<std::string, HeapGrowth> growth;
  return growth;
}

// A frame of busy pseudo-random bytes, so that nothing in the pass sees a uniform image.
inline std::vector<std::uint8_t> makeFrame(const FrameSize& size) {
  return patternBytes(size.bytes(), 1);
}

// Wall-clock time of a benchmark's timing loop, for counters in fixed units.
class LoopClock {
 public:
  LoopClock() : fStart(std::chrono::steady_clock::now()) {}
  double milliseconds() const {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - fStart)
        .count();
  }

 private:
  std::chrono::steady_clock::time_point fStart;
};

// Frames per second, milliseconds per frame and megapixels per second of a benchmark whose
// iterations each process one frame of `size`; `loopMs` is the wall-clock time of its loop.
inline void setFrameCounters(benchmark::State& state, const FrameSize& size, double loopMs) {
  using benchmark::Counter;
  const double frames = double(state.iterations());
  const double pixels = double(size.fWidth) * double(size.fHeight);
  state.counters["fps"] = Counter(frames, Counter::kIsRate);
  state.counters["ms/frame"] = frames > 0 ? loopMs / frames : 0.0;
  state.counters["Mpx/s"] = Counter(frames * pixels / 1e6, Counter::kIsRate);
}

// Time per frame of frei0r's "vertigo" effect from the system's frei0r plug-ins, loaded through
// frei0r's C interface: a reference for what a simpler feedback effect costs. Skipped with a note
// if the plug-in or its header is missing. 32-bit frames only (frei0r has no 24-bit format).
void vertigoBench(benchmark::State& state, FrameSize size);

}  // namespace fluxgrain::bench
