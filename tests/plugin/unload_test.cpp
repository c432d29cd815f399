// A host unloads a plug-in after using it, possibly many times. The OpenMP runtime that builds the
// tables keeps idle worker threads; if the library (and with it the runtime) were unmapped, those
// workers would crash the host later. The plug-ins are linked to stay resident after dlclose.
//
// Each case runs in a freshly started copy of this program (a "threadsafe" death test), so no
// other test has loaded the plug-in before and the first dlclose really drops the last reference.
#include <dlfcn.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "tests/plugin/pluginHost.h"

namespace fluxgrain::test {
namespace {

// Exits with 0 when every cycle worked; otherwise prints what failed and exits with 1. Plain
// checks instead of test assertions: this runs in the child process.
[[noreturn]] void loadUseUnload(const char* name, int cycles) {
  auto fail = [&](const char* what, int cycle) {
    std::fprintf(stderr, "%s, cycle %d: %s\n", name, cycle, what);
    std::exit(1);
  };
  const std::string path = pluginPath(name);
  if (dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD) != nullptr) fail("loaded before the test", 0);
  for (int cycle = 1; cycle <= cycles; ++cycle) {
    void* handle = dlopen(path.c_str(), RTLD_NOW);
    if (handle == nullptr) fail(dlerror(), cycle);
    auto plugMain = reinterpret_cast<PlugMainFn>(dlsym(handle, "plugMain"));
    if (plugMain == nullptr) fail("no plugMain", cycle);
    const LoadedPlugin p{handle, plugMain};
    if (call(p, FF_INITIALISE).UIntValue != FF_SUCCESS) fail("FF_INITIALISE", cycle);
    // 32 x 24: rows of 64 table cells, enough for the builders to start a parallel team.
    FFInstanceID inst = instantiate(p, 32, 24, FF_DEPTH_32);
    if (inst == nullptr) fail("FF_INSTANTIATE", cycle);
    Frame frame = patternFrame(32, 24, 4, std::uint32_t(cycle));
    if (call(p, FF_PROCESSFRAME, frame.data(), inst).UIntValue != FF_SUCCESS) fail("FF_PROCESSFRAME", cycle);
    if (call(p, FF_DEINSTANTIATE, FFMixed{}, inst).UIntValue != FF_SUCCESS) fail("FF_DEINSTANTIATE", cycle);
    if (call(p, FF_DEINITIALISE).UIntValue != FF_SUCCESS) fail("FF_DEINITIALISE", cycle);
    if (dlclose(handle) != 0) fail(dlerror(), cycle);
    // Give the runtime's idle workers time to wake up in whatever is still mapped.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    void* resident = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (resident == nullptr) fail("unmapped by dlclose", cycle);
    dlclose(resident);
  }
  std::exit(0);
}

class Unload : public ::testing::TestWithParam<PluginCase> {};

TEST_P(Unload, LoadUseUnloadThreeTimesStaysResident) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(loadUseUnload(GetParam().fName, 3), ::testing::ExitedWithCode(0), "");
}

INSTANTIATE_TEST_SUITE_P(OnePerFamily, Unload,
                         ::testing::Values(pluginCase("OxaFGPellum1"), pluginCase("OxaFGGralden1")),
                         caseName);

}  // namespace
}  // namespace fluxgrain::test
