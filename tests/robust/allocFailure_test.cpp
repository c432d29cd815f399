// Every allocation a host session makes, from FF_INSTANTIATE through the first frames of all
// three frame codes, made to fail in turn: each failure is a refusal (FF_FAIL, with the frame
// path's message), leaks nothing (LeakSanitizer checks after every session in the sanitizer
// build), and loses nothing: retried, the call succeeds and the session delivers the very frames
// of a session without failures.
#include <gtest/gtest.h>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

#include <cstdlib>
#include <string>

#include "shell/heap.h"
#include "tests/robust/inProcessHost.h"

namespace fluxgrain::robust {
namespace {

constexpr FFUInt32 kW = 16, kH = 8;
constexpr const char* kNoInputMessage = "Oxa_Multi: Error: No valid input data present\n";

enum Step { kInstantiate, kInPlace, kCopy, kMulti, kInPlaceAgain, kStepCount };
constexpr const char* kStepNames[] = {"FF_INSTANTIATE", "FF_PROCESSFRAME", "FF_PROCESSFRAMECOPY",
                                      "code 16", "FF_PROCESSFRAME after code 16"};

// The frames of a session and the records of the caller of code 16.
struct Buffers {
  explicit Buffers(std::size_t frameBytes) : fBytes(frameBytes) {
    for (std::uint32_t i = 0; i < kStepCount; ++i) fInputs[i] = patternBytes(frameBytes, i + 1);
  }
  std::size_t fBytes;
  std::vector<std::uint8_t> fInputs[kStepCount];
  std::vector<std::uint8_t> fFrame, fOutput;
  FrameSlot fSlots[2 * kSlotsPerHalf] = {};
  MultiFrame fMulti = {};
};

struct Outcome {
  std::uint64_t fDelivered[kStepCount] = {};  // hash of the frame each frame step delivered
  int fRefusedStep = -1;                       // the step the injected failure refused
  bool fRefusalAnswered = false;               // FF_FAIL, with the expected message or none
  bool fRefusalLeftFrame = false;              // frame untouched (code 3) or zeroed (code 14)
  int fUnexpectedFailure = -1;                 // a step that failed without an injected failure
};

// Leaks found since the last check (0 where LeakSanitizer is not linked in).
int leaksNow() {
#if defined(__SANITIZE_ADDRESS__)
  return __lsan_do_recoverable_leak_check();
#else
  return 0;
#endif
}

// A caller's descriptor holding a fresh malloc'd image in each slot 0, handed over with code 16.
void prepareCallerFrames(Buffers& b, std::int32_t bpp, const std::vector<std::uint8_t>& input) {
  b.fMulti = {};
  for (FrameSlot& slot : b.fSlots) slot = {kSlotEmpty, 0, nullptr, 0, 0, nullptr, 0, 0};
  for (int i = 0; i < kSlotsPerHalf; ++i) {
    b.fMulti.fInputs[i] = &b.fSlots[i];
    b.fMulti.fOutputs[i] = &b.fSlots[kSlotsPerHalf + i];
  }
  for (FrameSlot* slot : {&b.fSlots[0], &b.fSlots[kSlotsPerHalf]}) {
    *slot = {kSlotImage, bpp, std::malloc(b.fBytes), std::int32_t(kW), std::int32_t(kH), nullptr, 0, 0};
  }
  std::memcpy(b.fSlots[0].fImage, input.data(), b.fBytes);
  b.fMulti.fInCount = b.fMulti.fOutCount = 1;
}

// One attempt at a step; `delivered` is where the step leaves its output frame.
FFUInt32 runStep(const PluginDef& def, Step step, FFUInt32 depth, PlugObj*& obj, Buffers& b,
                 const std::uint8_t*& delivered) {
  const auto& input = b.fInputs[step];
  switch (step) {
    case kInstantiate:
      obj = instantiateWith(def, kW, kH, depth);
      return obj != nullptr ? FF_SUCCESS : FF_FAIL;
    case kInPlace:
    case kInPlaceAgain:
      std::memcpy(b.fFrame.data(), input.data(), b.fBytes);
      delivered = b.fFrame.data();
      return call32(def, FF_PROCESSFRAME, b.fFrame.data(), obj);
    case kCopy:
      std::memset(b.fOutput.data(), 0x5A, b.fBytes);
      delivered = b.fOutput.data();
      return processCopy(def, obj, const_cast<std::uint8_t*>(input.data()), b.fOutput.data());
    default:
      if (b.fMulti.fInCount == 0) prepareCallerFrames(b, std::int32_t(b.fBytes / (kW * kH)), input);
      delivered = static_cast<const std::uint8_t*>(b.fSlots[kSlotsPerHalf].fImage);
      return call32(def, FF_PROCESSMULTI, &b.fMulti, obj);
  }
}

bool refusalLeftFrame(Step step, const Buffers& b) {
  const std::uint8_t* p = step == kCopy ? b.fOutput.data() : b.fFrame.data();
  for (std::size_t i = 0; i < b.fBytes; ++i) {
    const std::uint8_t want = step == kCopy ? 0 : b.fInputs[step][i];
    if (p[i] != want) return false;
  }
  return true;
}

// A whole session with allocation number failAt (counted from the session's start) failing;
// 0: none. A refused step is retried once.
Outcome runSession(const PluginDef& def, FFUInt32 depth, Buffers& b, long failAt) {
  Outcome o;
  b.fMulti = {};
  b.fFrame.assign(b.fBytes, 0);
  b.fOutput.assign(b.fBytes, 0);
  allocFaults::gCount = 0;
  allocFaults::gFailAt = failAt;
  MessageLog::clear();
  PlugObj* obj = nullptr;
  for (int s = 0; s < kStepCount && o.fUnexpectedFailure < 0; ++s) {
    const Step step = Step(s);
    for (int attempt = 0; attempt < 2; ++attempt) {
      const long countBefore = allocFaults::gCount;
      const std::uint8_t* delivered = nullptr;
      const FFUInt32 r = runStep(def, step, depth, obj, b, delivered);
      if (r == FF_SUCCESS) {
        if (delivered != nullptr) o.fDelivered[step] = fnv1a(delivered, b.fBytes);
        break;
      }
      const bool injected = failAt > countBefore && failAt <= allocFaults::gCount;
      if (!injected || attempt > 0) {
        o.fUnexpectedFailure = step;
        break;
      }
      o.fRefusedStep = step;
      o.fRefusalAnswered = r == FF_FAIL && MessageLog::text() == (step == kInstantiate ? "" : kNoInputMessage);
      o.fRefusalLeftFrame = step == kInstantiate || step == kMulti || refusalLeftFrame(step, b);
      MessageLog::clear();
    }
  }
  if (obj != nullptr) deinstantiate(def, obj);
  allocFaults::gFailAt = 0;
  return o;
}

struct Case {
  const PluginDef* fDef;
  FFUInt32 fDepth;
};

class AllocFailure : public ::testing::TestWithParam<Case> {};

TEST_P(AllocFailure, EveryAllocationOfASessionFailsCleanly) {
  const auto [def, depth] = GetParam();
  MessageLog log;
  Buffers buffers(std::size_t(kW) * kH * (depth == FF_DEPTH_32 ? 4 : 3));
  runSession(*def, depth, buffers, 0);  // lets the runtimes make their one-time allocations
  const Outcome reference = runSession(*def, depth, buffers, 0);
  const long allocations = allocFaults::gCount;
  ASSERT_EQ(reference.fUnexpectedFailure, -1) << kStepNames[reference.fUnexpectedFailure];
  ASSERT_EQ(reference.fRefusedStep, -1);
  EXPECT_EQ(leaksNow(), 0);
  // The instance's buffers, descriptor, slot records and tables, then the two slot-0 images.
  ASSERT_GE(allocations, 8);

  for (long k = 1; k <= allocations; ++k) {
    const Outcome o = runSession(*def, depth, buffers, k);
    SCOPED_TRACE("allocation " + std::to_string(k) + " of " + std::to_string(allocations));
    ASSERT_EQ(o.fUnexpectedFailure, -1) << kStepNames[o.fUnexpectedFailure];
    ASSERT_GE(o.fRefusedStep, 0) << "the failed allocation was not reported";
    SCOPED_TRACE(kStepNames[o.fRefusedStep]);
    EXPECT_TRUE(o.fRefusalAnswered);
    EXPECT_TRUE(o.fRefusalLeftFrame);
    EXPECT_EQ(leaksNow(), 0);
    for (int s = kInPlace; s < kStepCount; ++s)
      EXPECT_EQ(o.fDelivered[s], reference.fDelivered[s]) << kStepNames[s];
  }
  // No steady-state frame allocates: the first in-place frame makes the last allocations.
  EXPECT_EQ(runSession(*def, depth, buffers, allocations).fRefusedStep, kInPlace);
}

std::vector<Case> allCases() {
  std::vector<Case> cases;
  for (const PluginDef* def : kEffects)
    for (FFUInt32 depth : {FF_DEPTH_24, FF_DEPTH_32}) cases.push_back({def, depth});
  return cases;
}

INSTANTIATE_TEST_SUITE_P(AllPlugins, AllocFailure, ::testing::ValuesIn(allCases()),
                         [](const auto& test) {
                           return std::string(test.param.fDef->fName) +
                                  (test.param.fDepth == FF_DEPTH_32 ? "_32bit" : "_24bit");
                         });

}  // namespace
}  // namespace fluxgrain::robust
