// Memory held by one instance: the bytes each buffer should take, computed from the frame size
// and the plug-in's profile, next to the heap growth that mallinfo2 sees across FF_INSTANTIATE
// and the first FF_PROCESSFRAME (which allocates the two slot images). The time column of these
// rows means nothing.
#include <string>
#include <vector>

#include "benchSupport.h"
#include "engine/dirTable.h"

namespace fluxgrain::bench {

namespace {

void memoryBench(benchmark::State& state, const PluginDef* def, FrameSize size) {
  using benchmark::Counter;
  const double pixels = double(size.fWidth) * double(size.fHeight);
  const double k = def->fProfile.fTableFactor;
  const double frameBuffers = 2.0 * double(size.bytes());  // fFeedback, fLastOutput
  const double slotImages = 2.0 * double(size.bytes());    // input and output slot 0
  const double waveTable = k * k * pixels * sizeof(std::int32_t);
  const double dirTable = def->fProfile.fOrbit ? double(sizeof(DirEntry)) * kDirEntries : 0.0;
  const double records = double(sizeof(PlugObj) + sizeof(MultiFrame) + 32 * sizeof(FrameSlot));
  const double computed = frameBuffers + slotImages + waveTable + dirTable + records;

  // Measured by the instantiate benchmark if it ran, else here.
  const std::string key = benchName("", *def, size);
  auto found = measuredGrowth().find(key);
  HeapGrowth growth;
  if (found != measuredGrowth().end()) growth = found->second;
  for (auto _ : state) {
    if (found != measuredGrowth().end()) continue;
    releaseSharedInstance();
    // Start the parallel runtime first, so that its own allocations are not counted.
    deleteInstance(*def, newInstance(*def, {16, 16}));
    std::vector<std::uint8_t> frame = makeFrame(size);
    const double before = heapInUse();
    PlugObj* obj = newInstance(*def, size);
    if (obj == nullptr) {
      state.SkipWithError("FF_INSTANTIATE failed");
      break;
    }
    growth.fInstantiate = heapInUse() - before;
    processFrame(*def, obj, frame.data());
    growth.fFirstFrame = heapInUse() - before;
    deleteInstance(*def, obj);
  }

  auto bytes = [](double v) { return Counter(v, Counter::kDefaults, Counter::kIs1024); };
  state.counters["frameBufs"] = bytes(frameBuffers);
  state.counters["slotImgs"] = bytes(slotImages);
  state.counters["WaveTable"] = bytes(waveTable);
  state.counters["DirTable"] = bytes(dirTable);
  state.counters["computed"] = bytes(computed);
  state.counters["heap@inst"] = bytes(growth.fInstantiate);
  state.counters["heap@frame1"] = bytes(growth.fFirstFrame);
  state.counters["heap-computed"] = growth.fFirstFrame - computed;
}

const bool kRegistered = [] {
  for (const FrameSize& size : kSizes)
    for (const PluginDef* def : kEffects)
      benchmark::RegisterBenchmark(benchName("InstanceMemory", *def, size).c_str(), memoryBench,
                                   def, size)
          ->Iterations(1)
          ->Unit(benchmark::kMillisecond)
          ->UseRealTime();
  return true;
}();

}  // namespace

}  // namespace fluxgrain::bench
