// Soak: one instance of each plug-in at 16 x 8 for many frames (100 000 unless given), with every
// parameter swept through and beyond [0, 1] and hit with infinities, NaNs and denormals, frames
// alternating between FF_PROCESSFRAME and FF_PROCESSFRAMECOPY. The whole run is done twice.
// It fails (exit code 1) unless
//   - the checksum of all output frames is the same in both runs (the output is deterministic),
//   - no allocation is made after the first frames and the heap in use stays the same,
//   - the resident memory after the last frame is that after the first frames (within a page
//     or two of the C library's own bookkeeping).
// Under AddressSanitizer the heap and resident figures are only printed: its allocator holds
// freed blocks in quarantine, so they do not show what the program holds.
// Usage: fluxgrain_soak [frames]
#include <malloc.h>
#include <unistd.h>

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <vector>

#include "shell/heap.h"
#include "tests/robust/inProcessHost.h"

namespace fluxgrain::robust {
namespace {

constexpr FFUInt32 kW = 16, kH = 8;
constexpr long kWarmUpFrames = 1000;
constexpr long kRssSlackBytes = 64 * 1024;
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kMemoryFiguresHold = false;
#else
constexpr bool kMemoryFiguresHold = true;
#endif

long residentBytes() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0, resident = 0;
  statm >> pages >> resident;
  return resident * sysconf(_SC_PAGESIZE);
}

long heapInUse() { return long(mallinfo2().uordblks); }

// The value of a parameter at a frame: a sweep over [-0.5, 1.5), and now and then a value no
// slider gives.
float sweptValue(long frame) {
  constexpr float kSpecials[] = {std::numeric_limits<float>::infinity(),
                                 -std::numeric_limits<float>::infinity(),
                                 std::numeric_limits<float>::quiet_NaN(),
                                 std::numeric_limits<float>::denorm_min(),
                                 -std::numeric_limits<float>::denorm_min(),
                                 -0.0f,
                                 1.0f,
                                 0.0f,
                                 std::numeric_limits<float>::max()};
  if (frame % 101 == 0) return kSpecials[(frame / 101) % std::size(kSpecials)];
  return -0.5f + 2.0f * float((frame * 7919) % 1000) / 1000.0f;
}

struct Figures {
  std::uint64_t fChecksum = 14695981039346656037ull;
  long fRssAfterWarmUp = 0, fRssAtEnd = 0;
  long fHeapAfterWarmUp = 0, fHeapAtEnd = 0;
  long fSteadyAllocations = 0;
  bool fAllFramesSucceeded = true;
};

Figures soak(const PluginDef& def, FFUInt32 depth, long frames) {
  Figures fig;
  const std::size_t bytes = std::size_t(kW) * kH * (depth == FF_DEPTH_32 ? 4 : 3);
  std::vector<std::uint8_t> inputs[4];
  for (std::uint32_t i = 0; i < 4; ++i) inputs[i] = patternBytes(bytes, i + 1);
  std::vector<std::uint8_t> frame(bytes), output(bytes);
  PlugObj* obj = instantiateWith(def, kW, kH, depth);
  if (obj == nullptr) {
    fig.fAllFramesSucceeded = false;
    return fig;
  }
  const FFUInt32 n = FFUInt32(def.fNumParams);
  long allocationsAfterWarmUp = 0;
  for (long f = 0; f < frames; ++f) {
    fig.fAllFramesSucceeded &= setParameter(def, obj, FFUInt32(f % n), sweptValue(f)) == FF_SUCCESS;
    if (f % 50 == 0) dispatch(def, FF_GETPARAMETERDISPLAY, mixedWord(FFUInt32(f % n)), obj);
    const std::vector<std::uint8_t>& input = inputs[(f / 7) % 4];
    const std::uint8_t* out = nullptr;
    if (f % 3 == 0) {
      fig.fAllFramesSucceeded &=
          processCopy(def, obj, const_cast<std::uint8_t*>(input.data()), output.data()) == FF_SUCCESS;
      out = output.data();
    } else {
      frame = input;
      fig.fAllFramesSucceeded &= call32(def, FF_PROCESSFRAME, frame.data(), obj) == FF_SUCCESS;
      out = frame.data();
    }
    fig.fChecksum = fnv1a(out, bytes, fig.fChecksum);
    if (f + 1 == std::min(kWarmUpFrames, frames)) {
      allocationsAfterWarmUp = allocFaults::gCount;
      fig.fRssAfterWarmUp = residentBytes();
      fig.fHeapAfterWarmUp = heapInUse();
    }
  }
  fig.fSteadyAllocations = allocFaults::gCount - allocationsAfterWarmUp;
  fig.fRssAtEnd = residentBytes();
  fig.fHeapAtEnd = heapInUse();
  deinstantiate(def, obj);
  return fig;
}

int run(long frames) {
  MessageLog quiet;  // no frame may fail; if one does, the figures say so
  bool ok = true;
  std::printf("soak: %ld frames per plug-in at %ux%u, twice\n", frames, kW, kH);
  std::printf("%-14s %-6s %-18s %-10s %-22s %-14s\n", "plug-in", "depth", "checksum", "same",
              "RSS KiB warm-up -> end", "allocations");
  for (std::size_t i = 0; i < kEffects.size(); ++i) {
    const PluginDef& def = *kEffects[i];
    const FFUInt32 depth = i % 2 == 0 ? FF_DEPTH_32 : FF_DEPTH_24;
    const Figures first = soak(def, depth, frames);
    const Figures second = soak(def, depth, frames);
    const bool same = first.fChecksum == second.fChecksum;
    const bool succeeded = first.fAllFramesSucceeded && second.fAllFramesSucceeded;
    const bool noAllocations = first.fSteadyAllocations == 0 && second.fSteadyAllocations == 0;
    const bool flat = !kMemoryFiguresHold ||
                      (first.fRssAtEnd - first.fRssAfterWarmUp <= kRssSlackBytes &&
                       second.fRssAtEnd - second.fRssAfterWarmUp <= kRssSlackBytes &&
                       first.fHeapAtEnd == first.fHeapAfterWarmUp &&
                       second.fHeapAtEnd == second.fHeapAfterWarmUp);
    std::printf("%-14s %-6s %016" PRIx64 "   %-10s %8ld -> %-8ld    %ld%s%s%s\n", def.fName,
                depth == FF_DEPTH_32 ? "32" : "24", first.fChecksum, same ? "yes" : "NO",
                second.fRssAfterWarmUp / 1024, second.fRssAtEnd / 1024,
                first.fSteadyAllocations + second.fSteadyAllocations,
                succeeded ? "" : "  FAILED: a call failed", noAllocations ? "" : "  FAILED: frames allocate",
                flat ? "" : "  FAILED: memory grew");
    ok &= same && succeeded && noAllocations && flat;
  }
  std::printf("soak: %s\n", ok ? "passed" : "FAILED");
  return ok ? 0 : 1;
}

}  // namespace
}  // namespace fluxgrain::robust

int main(int argc, char** argv) {
  const long frames = argc > 1 ? std::atol(argv[1]) : 100000;
  if (frames <= 0) {
    std::fprintf(stderr, "usage: %s [frames]\n", argv[0]);
    return 2;
  }
  return fluxgrain::robust::run(frames);
}
