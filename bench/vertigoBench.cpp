// The frei0r reference: the system's vertigo plug-in (a feedback zoom-and-rotate without a
// table), loaded with dlopen and driven through frei0r's C interface at the same frame sizes.
#include <dlfcn.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "benchSupport.h"

#if __has_include(<frei0r.h>)
#include <frei0r.h>
#define FLUXGRAIN_HAVE_FREI0R 1
#endif

namespace fluxgrain::bench {

#if FLUXGRAIN_HAVE_FREI0R

namespace {

struct Frei0rPlugin {
  void* fHandle = nullptr;
  decltype(&f0r_init) fInit = nullptr;
  decltype(&f0r_deinit) fDeinit = nullptr;
  decltype(&f0r_construct) fConstruct = nullptr;
  decltype(&f0r_destruct) fDestruct = nullptr;
  decltype(&f0r_update) fUpdate = nullptr;
  std::string fPath;
};

// The first vertigo.so on FREI0R_PATH or in the usual plug-in folders, initialised once for the
// program's lifetime; fHandle stays null if there is none.
const Frei0rPlugin& vertigo() {
  static const Frei0rPlugin plugin = [] {
    Frei0rPlugin p;
    std::vector<std::string> dirs;
    if (const char* env = std::getenv("FREI0R_PATH")) dirs.emplace_back(env);
    for (const char* d : {"/usr/lib/frei0r-1", "/usr/lib/x86_64-linux-gnu/frei0r-1",
                          "/usr/local/lib/frei0r-1", "/usr/lib64/frei0r-1"})
      dirs.emplace_back(d);
    for (const std::string& dir : dirs) {
      p.fPath = dir + "/vertigo.so";
      p.fHandle = dlopen(p.fPath.c_str(), RTLD_NOW | RTLD_LOCAL);
      if (p.fHandle != nullptr) break;
    }
    if (p.fHandle == nullptr) return p;
    auto symbol = [&](const char* name) { return dlsym(p.fHandle, name); };
    p.fInit = reinterpret_cast<decltype(p.fInit)>(symbol("f0r_init"));
    p.fDeinit = reinterpret_cast<decltype(p.fDeinit)>(symbol("f0r_deinit"));
    p.fConstruct = reinterpret_cast<decltype(p.fConstruct)>(symbol("f0r_construct"));
    p.fDestruct = reinterpret_cast<decltype(p.fDestruct)>(symbol("f0r_destruct"));
    p.fUpdate = reinterpret_cast<decltype(p.fUpdate)>(symbol("f0r_update"));
    if (p.fInit == nullptr || p.fConstruct == nullptr || p.fDestruct == nullptr ||
        p.fUpdate == nullptr || p.fInit() == 0) {
      dlclose(p.fHandle);
      p.fHandle = nullptr;
    }
    return p;
  }();
  return plugin;
}

}  // namespace

void vertigoBench(benchmark::State& state, FrameSize size) {
  const Frei0rPlugin& p = vertigo();
  if (p.fHandle == nullptr) {
    state.SkipWithError("frei0r vertigo.so not found (Debian package frei0r-plugins)");
    return;
  }
  f0r_instance_t inst = p.fConstruct(unsigned(size.fWidth), unsigned(size.fHeight));
  if (inst == nullptr) {
    state.SkipWithError("f0r_construct failed");
    return;
  }
  state.SetLabel(p.fPath);
  const std::size_t pixels = std::size_t(size.fWidth) * std::size_t(size.fHeight);
  std::vector<std::uint8_t> bytes = makeFrame(size);
  std::vector<std::uint32_t> in(pixels), out(pixels);
  std::memcpy(in.data(), bytes.data(), bytes.size());
  double time = 0.0;
  const LoopClock clock;
  for (auto _ : state) {
    p.fUpdate(inst, time, in.data(), out.data());
    time += 1.0 / 30.0;
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  setFrameCounters(state, size, clock.milliseconds());
  p.fDestruct(inst);
}

#else

void vertigoBench(benchmark::State& state, FrameSize) {
  state.SkipWithError("built without frei0r.h (Debian package frei0r-plugins-dev)");
}

#endif

}  // namespace fluxgrain::bench
