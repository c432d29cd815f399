// Per-frame cost: FF_PROCESSFRAME through dispatch for every plug-in at both pixel sizes, beside
// two references (memcpy of one frame, frei0r's vertigo); and for one plug-in of each family the
// engine step alone, without the copies into the slots and the host's frame that the frame call
// makes block by block on the way, so that the whole frame call can be split into the two.
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "benchSupport.h"
#include "engine/feedbackPass.h"
#include "engine/motion.h"

namespace fluxgrain::bench {

namespace {

// The instance for a frame benchmark, with one frame processed so that the slot images exist
// (the steady state allocates nothing); nullptr after a failure, which is reported.
PlugObj* readyInstance(benchmark::State& state, const PluginDef& def, const FrameSize& size,
                       std::vector<std::uint8_t>& frame) {
  PlugObj* obj = sharedInstance(def, size);
  if (obj == nullptr) {
    state.SkipWithError("FF_INSTANTIATE failed");
    return nullptr;
  }
  if (!processFrame(def, obj, frame.data())) {
    state.SkipWithError("FF_PROCESSFRAME failed");
    return nullptr;
  }
  return obj;
}

// FF_PROCESSFRAME in place, as a host calls it. The frame is processed in place again and
// again: the work of a frame does not depend on the pixel values.
void processFrameBench(benchmark::State& state, const PluginDef* def, FrameSize size) {
  std::vector<std::uint8_t> frame = makeFrame(size);
  PlugObj* obj = readyInstance(state, *def, size, frame);
  if (obj == nullptr) return;
  const LoopClock clock;
  for (auto _ : state) {
    processFrame(*def, obj, frame.data());
    benchmark::DoNotOptimize(frame.data());
    benchmark::ClobberMemory();
  }
  setFrameCounters(state, size, clock.milliseconds());
}

// The engine step of a frame alone: phase advance, warp quad and runFeedbackPass over the input
// slot that FF_PROCESSFRAME filled; none of the frame copies.
void passBench(benchmark::State& state, const PluginDef* def, FrameSize size) {
  std::vector<std::uint8_t> frame = makeFrame(size);
  PlugObj* obj = readyInstance(state, *def, size, frame);
  if (obj == nullptr) return;
  const FrameSlot& input = *obj->fMulti->fInputs[0];
  const EngineProfile& profile = def->fProfile;
  const LoopClock clock;
  for (auto _ : state) {
    advancePhases(*obj, profile);
    runFeedbackPass(*obj, computeWarpQuad(*obj, profile), profile, input);
    benchmark::DoNotOptimize(obj->fLastOutput);
    benchmark::ClobberMemory();
  }
  setFrameCounters(state, size, clock.milliseconds());
}

// memcpy of one frame: the floor under any per-frame work.
void memcpyBench(benchmark::State& state, FrameSize size) {
  std::vector<std::uint8_t> from = makeFrame(size), to(size.bytes(), 0);
  const LoopClock clock;
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), to.size());
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
  setFrameCounters(state, size, clock.milliseconds());
}

// One plug-in of each family for the split of the frame call into pass and copies.
bool splitEffect(const PluginDef* def) { return def == &kPellum || def == &kGralden; }

template <class... Args>
void registerFrameBench(const std::string& name, Args&&... args) {
  benchmark::RegisterBenchmark(name.c_str(), std::forward<Args>(args)...)
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime();
}

// Each size in turn: the two references, every plug-in's frame call at 32 and then 24 bits per
// pixel, and the pass alone right after the frame call of the two split plug-ins (sharing their
// instance).
const bool kRegistered = [] {
  for (const FrameSize& size : kSizes) {
    registerFrameBench("Memcpy/" + sizeName(size), memcpyBench, size);
    registerFrameBench("Vertigo/" + sizeName(size), vertigoBench, size);
    for (std::int32_t bpp : {4, 3}) {
      const FrameSize format = withDepth(size, bpp);
      for (const PluginDef* def : kEffects) {
        registerFrameBench(benchName("ProcessFrame", *def, format), processFrameBench, def, format);
        if (splitEffect(def))
          registerFrameBench(benchName("PassOnly", *def, format), passBench, def, format);
      }
    }
  }
  return true;
}();

}  // namespace

}  // namespace fluxgrain::bench
