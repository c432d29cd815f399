// Many instances of several plug-ins created, driven and destroyed on several threads at once,
// each instance on one thread as hosts do: every instance's output is byte for byte what the same
// work gives on one thread. The ThreadSanitizer build runs this test to show it free of races.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "tests/robust/inProcessHost.h"

namespace fluxgrain::robust {
namespace {

constexpr int kGroups = 16;
constexpr int kInstancesPerGroup = 3;
constexpr int kFrames = 24;
constexpr int kThreads = 6;

// A group: three instances of different plug-ins and sizes, alive at the same time on one
// thread, driven frame by frame in turn through all three frame codes.
struct Member {
  const PluginDef* fDef;
  FFUInt32 fWidth, fHeight, fDepth;
  std::size_t bytes() const { return std::size_t(fWidth) * fHeight * (fDepth == FF_DEPTH_32 ? 4 : 3); }
};

Member memberOf(int group, int k) {
  const int plugin = (group + 3 * k) % int(kEffects.size());
  return {kEffects[std::size_t(plugin)], FFUInt32(8 + 4 * ((group + k) % 4)),
          FFUInt32(4 + 2 * (group % 3)), (group + k) % 2 == 0 ? FF_DEPTH_32 : FF_DEPTH_24};
}

// Output checksums of the group's instances, or 0 for an instance whose calls failed.
std::array<std::uint64_t, kInstancesPerGroup> runGroup(int group) {
  std::array<std::uint64_t, kInstancesPerGroup> hashes{};
  Member m[kInstancesPerGroup];
  PlugObj* obj[kInstancesPerGroup] = {};
  // Each instance's code-16 records, alive until the instance is destroyed.
  FrameSlot slots[kInstancesPerGroup][2 * kSlotsPerHalf] = {};
  MultiFrame multi[kInstancesPerGroup] = {};
  bool ok[kInstancesPerGroup];
  for (int k = 0; k < kInstancesPerGroup; ++k) {
    m[k] = memberOf(group, k);
    obj[k] = instantiateWith(*m[k].fDef, m[k].fWidth, m[k].fHeight, m[k].fDepth);
    ok[k] = obj[k] != nullptr;
    hashes[k] = fnv1a(nullptr, 0);
    for (int i = 0; i < kSlotsPerHalf; ++i) {
      multi[k].fInputs[i] = &slots[k][i];
      multi[k].fOutputs[i] = &slots[k][kSlotsPerHalf + i];
    }
    if (ok[k]) ok[k] = setParameter(*m[k].fDef, obj[k], 0, 0.05f * float(group % 10)) == FF_SUCCESS;
  }
  for (int f = 0; f < kFrames; ++f) {
    for (int k = 0; k < kInstancesPerGroup; ++k) {
      if (!ok[k]) continue;
      const PluginDef& def = *m[k].fDef;
      const std::size_t bytes = m[k].bytes();
      std::vector<std::uint8_t> frame = patternBytes(bytes, std::uint32_t(group * 1000 + k * 100 + f));
      ok[k] &= setParameter(def, obj[k], FFUInt32(1 + f % 6), float(f % 5) * 0.3f) == FF_SUCCESS;
      if (f % 3 == 0) {
        ok[k] &= call32(def, FF_PROCESSFRAME, frame.data(), obj[k]) == FF_SUCCESS;
        hashes[k] = fnv1a(frame.data(), bytes, hashes[k]);
      } else if (f % 3 == 1) {
        std::vector<std::uint8_t> out(bytes);
        ok[k] &= processCopy(def, obj[k], frame.data(), out.data()) == FF_SUCCESS;
        hashes[k] = fnv1a(out.data(), bytes, hashes[k]);
      } else {
        // Code 16: hand over fresh images in slot 0 of each half (their last ones, which the
        // instance owns, are released by it when the format matches: refill only empty slots).
        for (FrameSlot* s : {&slots[k][0], &slots[k][kSlotsPerHalf]}) {
          if (s->fImage == nullptr) {
            *s = {kSlotImage, std::int32_t(bytes / (m[k].fWidth * m[k].fHeight)), std::malloc(bytes),
                  std::int32_t(m[k].fWidth), std::int32_t(m[k].fHeight), nullptr, 0, 0};
          }
        }
        std::memcpy(slots[k][0].fImage, frame.data(), bytes);
        multi[k].fInCount = multi[k].fOutCount = 1;
        ok[k] &= call32(def, FF_PROCESSMULTI, &multi[k], obj[k]) == FF_SUCCESS;
        hashes[k] = fnv1a(static_cast<const std::uint8_t*>(slots[k][kSlotsPerHalf].fImage), bytes, hashes[k]);
      }
    }
  }
  // Destroyed in another order than created.
  for (int k = kInstancesPerGroup - 1; k >= 0; --k) {
    if (obj[k] != nullptr && deinstantiate(*m[k].fDef, obj[k]) != FF_SUCCESS) ok[k] = false;
    if (!ok[k]) hashes[k] = 0;
  }
  return hashes;
}

TEST(Concurrency, InstancesOnManyThreadsMatchOneThread) {
  std::vector<std::array<std::uint64_t, kInstancesPerGroup>> serial(kGroups), parallel(kGroups);
  for (int g = 0; g < kGroups; ++g) serial[std::size_t(g)] = runGroup(g);

  std::atomic<int> next{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&] {
      for (int g; (g = next++) < kGroups;) parallel[std::size_t(g)] = runGroup(g);
    });
  }
  for (std::thread& t : threads) t.join();

  for (int g = 0; g < kGroups; ++g) {
    for (int k = 0; k < kInstancesPerGroup; ++k) {
      const Member m = memberOf(g, k);
      SCOPED_TRACE(std::string(m.fDef->fName) + " " + std::to_string(m.fWidth) + "x" +
                   std::to_string(m.fHeight) + " in group " + std::to_string(g));
      EXPECT_NE(serial[std::size_t(g)][std::size_t(k)], 0u) << "a call failed on one thread";
      EXPECT_EQ(parallel[std::size_t(g)][std::size_t(k)], serial[std::size_t(g)][std::size_t(k)]);
    }
  }
}

}  // namespace
}  // namespace fluxgrain::robust
