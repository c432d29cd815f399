// FF_INSTANTIATE: the buffers and the table build, with the team size of the parallel loops.
#include <omp.h>

#include <string>
#include <vector>

#include "benchSupport.h"

namespace fluxgrain::bench {

namespace {

// The number of threads a parallel region of the builders gets (they name no count of their own).
int parallelTeamSize() {
  int team = 1;
#pragma omp parallel
  {
#pragma omp single
    team = omp_get_num_threads();
  }
  return team;
}

// Wall-clock time of FF_INSTANTIATE; the FF_DEINSTANTIATE that follows is not timed. Untimed,
// the first instance also has its heap growth measured for the memory benchmark.
void instantiateBench(benchmark::State& state, const PluginDef* def, FrameSize size) {
  releaseSharedInstance();
  // Start the parallel runtime first, so that its own allocations are not counted.
  deleteInstance(*def, newInstance(*def, {16, 16}));
  const std::string key = benchName("", *def, size);
  std::vector<std::uint8_t> frame;
  if (measuredGrowth().count(key) == 0) frame = makeFrame(size);
  double before = heapInUse();
  for (auto _ : state) {
    PlugObj* obj = newInstance(*def, size);
    state.PauseTiming();
    if (obj == nullptr) {
      state.SkipWithError("FF_INSTANTIATE failed");
      break;
    }
    if (!frame.empty()) {
      HeapGrowth growth;
      growth.fInstantiate = heapInUse() - before;
      processFrame(*def, obj, frame.data());
      growth.fFirstFrame = heapInUse() - before;
      measuredGrowth()[key] = growth;
      frame.clear();
      frame.shrink_to_fit();
    }
    deleteInstance(*def, obj);
    before = heapInUse();
    state.ResumeTiming();
  }
  using benchmark::Counter;
  const double k = def->fProfile.fTableFactor;
  const double cells = k * k * double(size.fWidth) * double(size.fHeight);
  state.counters["threads"] = parallelTeamSize();
  state.counters["Mcells"] = cells / 1e6;
  state.counters["perCell"] =  // seconds of wall-clock time per table cell
      Counter(double(state.iterations()) * cells, Counter::kIsRate | Counter::kInvert);
}

const bool kRegistered = [] {
  for (const FrameSize& size : kSizes)
    for (const PluginDef* def : kEffects)
      benchmark::RegisterBenchmark(benchName("Instantiate", *def, size).c_str(), instantiateBench,
                                   def, size)
          ->Unit(benchmark::kMillisecond)
          ->UseRealTime();
  return true;
}();

}  // namespace

}  // namespace fluxgrain::bench
