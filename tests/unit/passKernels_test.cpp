// Every fast kernel of the feedback pass against the reference pass: byte-equal outputs (and the
// frame copies made on the way) over many frames of every plug-in, with sizes that leave partial blocks and vector tails, both pixel
// sizes, random parameters (unequal corner scales), tables whose cells push the indices into
// both clamps, and quads of arbitrary int32 steps that make the column divisions wrap.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "effects/effects.h"
#include "engine/dirTable.h"
#include "engine/feedbackPass.h"
#include "engine/motion.h"
#include "shell/instance.h"

namespace fluxgrain {
namespace {

const PluginDef* const kAll[] = {&kPellum, &kCaldor, &kFennix, &kGralden,
                                 &kOrvial, &kZentrik, &kLumbra, &kSolvane};
constexpr PassKernel kFast[] = {PassKernel::kSse2, PassKernel::kAvx2};

const char* kernelName(PassKernel k) { return k == PassKernel::kAvx2 ? "AVX2" : "SSE2"; }

struct Instance {
  PlugObj* fObj;
  Instance(const PluginDef& def, std::int32_t w, std::int32_t h, std::int32_t bpp) {
    const VideoInfoStruct info{FFUInt32(w), FFUInt32(h), bpp == 4 ? FF_DEPTH_32 : FF_DEPTH_24, 1};
    fObj = instantiate(def, &info);
  }
  ~Instance() {
    if (fObj != nullptr) deInstantiate(fObj);
  }
  Instance(const Instance&) = delete;
  Instance& operator=(const Instance&) = delete;
};

std::size_t cellCount(const PlugObj& obj, const EngineProfile& p) {
  return std::size_t(p.fTableFactor) * std::size_t(p.fTableFactor) * std::size_t(obj.fWidth) *
         std::size_t(obj.fHeight);
}

void randomBytes(std::mt19937& rng, std::uint8_t* p, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) p[i] = std::uint8_t(rng());
}

// Runs `frames` frames through a reference instance and one instance per available fast kernel,
// all given the same inputs and parameters, and compares every output byte of every frame.
void expectKernelsMatch(const PluginDef& def, std::int32_t w, std::int32_t h, std::int32_t bpp,
                        bool wildTable, int frames, std::uint32_t seed) {
  std::mt19937 rng(seed);
  Instance ref(def, w, h, bpp);
  ASSERT_NE(ref.fObj, nullptr);
  const EngineProfile& profile = def.fProfile;
  if (wildTable) {
    // Cells far outside the frame (displacements) or any code (angle codes): both clamps fire.
    for (std::size_t i = 0; i < cellCount(*ref.fObj, profile); ++i)
      ref.fObj->fWaveTable[i] = std::int32_t(rng());
  }
  std::vector<std::pair<PassKernel, PlugObj*>> fast;
  std::vector<std::unique_ptr<Instance>> owned;
  for (PassKernel k : kFast) {
    if (!passKernelAvailable(k)) continue;
    owned.push_back(std::make_unique<Instance>(def, w, h, bpp));
    PlugObj* obj = owned.back()->fObj;
    ASSERT_NE(obj, nullptr);
    std::memcpy(obj->fWaveTable, ref.fObj->fWaveTable, cellCount(*obj, profile) * 4);
    fast.emplace_back(k, obj);
  }
  const std::size_t n = std::size_t(bpp) * std::size_t(w) * std::size_t(h);
  std::vector<std::uint8_t> input(n);
  const FrameSlot slot{kSlotImage, bpp, input.data(), w, h, nullptr, 0, 0};
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  float params[kMaxParams];
  for (int f = 0; f < frames; ++f) {
    randomBytes(rng, input.data(), n);
    // New parameters every other frame: the per-frame state built from "Ang Mul" is both rebuilt
    // and reused.
    if (f % 2 == 0)
      for (float& v : params) v = unit(rng);
    const double offsets[4] = {unit(rng) * 2.0, unit(rng) * 2.0, unit(rng) * 2.0, unit(rng) * 2.0};
    // Every kernel also makes the copies of a frame call: input and output land in buffers of
    // their own, checked against the input and the kernel's own output.
    std::vector<std::uint8_t> inputCopy(n), outputCopy(n);
    auto step = [&](PlugObj& obj, PassKernel kernel) {
      for (int i = 0; i < def.fNumParams; ++i) obj.fParams[i].fValue = params[i];
      std::memcpy(obj.fCornerOffset, offsets, sizeof offsets);
      std::swap(obj.fFeedback, obj.fLastOutput);
      advancePhases(obj, profile);
      std::fill(inputCopy.begin(), inputCopy.end(), 0);
      std::fill(outputCopy.begin(), outputCopy.end(), 0);
      PassCopies copies;
      copies.fInputCopy = inputCopy.data();
      copies.fOutputCopies[f % 2] = outputCopy.data();
      runFeedbackPassWith(kernel, obj, computeWarpQuad(obj, profile), profile, slot, copies);
      EXPECT_EQ(inputCopy, input);
      EXPECT_TRUE(std::equal(outputCopy.begin(), outputCopy.end(), obj.fLastOutput));
    };
    step(*ref.fObj, PassKernel::kReference);
    for (auto& [kernel, obj] : fast) {
      step(*obj, kernel);
      const std::uint8_t *want = ref.fObj->fLastOutput, *got = obj->fLastOutput;
      const auto diff = std::mismatch(want, want + n, got).first - want;
      ASSERT_EQ(diff, std::ptrdiff_t(n))
          << kernelName(kernel) << " differs at byte " << diff << " of frame " << f;
    }
  }
}

TEST(PassKernels, MatchReferenceOnEveryPlugin) {
  const std::int32_t sizes[][2] = {{1, 1}, {3, 2}, {17, 9}, {129, 5}, {301, 7}};
  std::uint32_t seed = 1;
  for (const PluginDef* def : kAll)
    for (const auto& size : sizes)
      for (std::int32_t bpp : {3, 4})
        for (bool wild : {false, true}) {
          SCOPED_TRACE(std::string(def->fName) + " " + std::to_string(size[0]) + "x" +
                       std::to_string(size[1]) + " bpp " + std::to_string(bpp) +
                       (wild ? " wild table" : ""));
          expectKernelsMatch(*def, size[0], size[1], bpp, wild, 8, seed++);
        }
}

// Quads with arbitrary int32 corners and steps: the column numerators wrap and their quotients
// cover the whole int32 range, where an inexact division would show first.
TEST(PassKernels, MatchReferenceOnArbitraryQuads) {
  std::mt19937 rng(77);
  for (const PluginDef* def : {&kPellum, &kGralden, &kLumbra})
    for (std::int32_t bpp : {3, 4}) {
      const std::int32_t w = 1 + std::int32_t(rng() % 200), h = 1 + std::int32_t(rng() % 6);
      Instance ref(*def, w, h, bpp), fast(*def, w, h, bpp);
      ASSERT_NE(ref.fObj, nullptr);
      ASSERT_NE(fast.fObj, nullptr);
      const std::size_t n = std::size_t(bpp) * std::size_t(w) * std::size_t(h);
      std::vector<std::uint8_t> input(n);
      const FrameSlot slot{kSlotImage, bpp, input.data(), w, h, nullptr, 0, 0};
      for (int trial = 0; trial < 40; ++trial) {
        randomBytes(rng, input.data(), n);
        randomBytes(rng, ref.fObj->fFeedback, n);
        std::memcpy(fast.fObj->fFeedback, ref.fObj->fFeedback, n);
        WarpQuad q{};
        for (std::int32_t* v : {&q.fStartX, &q.fStartY, &q.fTopStepX, &q.fTopStepY, &q.fBottomStepX,
                                &q.fBottomStepY, &q.fLeftStepX, &q.fLeftStepY, &q.fRightStepX,
                                &q.fRightStepY})
          *v = std::int32_t(rng() >> (rng() % 32));  // magnitudes of every order
        const float blend = float(rng() % 1001) / 1000.0f;
        ref.fObj->fParams[kBlend].fValue = fast.fObj->fParams[kBlend].fValue = blend;
        runFeedbackPassWith(PassKernel::kReference, *ref.fObj, q, def->fProfile, slot);
        for (PassKernel k : kFast) {
          if (!passKernelAvailable(k)) continue;
          runFeedbackPassWith(k, *fast.fObj, q, def->fProfile, slot);
          ASSERT_EQ(std::memcmp(ref.fObj->fLastOutput, fast.fObj->fLastOutput, n), 0)
              << kernelName(k) << " " << def->fName << " " << w << "x" << h << " bpp " << bpp
              << " trial " << trial;
        }
      }
    }
}

// The blend alone, through a table of zeros and a still quad: every weight the parameter can
// give, against every pair of bytes.
TEST(PassKernels, BlendMatchesForEveryWeightAndBytePair) {
  const std::int32_t w = 256, h = 256;
  Instance ref(kGralden, w, h, 4), fast(kGralden, w, h, 4);
  ASSERT_NE(ref.fObj, nullptr);
  ASSERT_NE(fast.fObj, nullptr);
  const std::size_t cells = cellCount(*ref.fObj, kGralden.fProfile);
  std::vector<std::uint8_t> input(std::size_t(4 * w * h));
  for (std::size_t i = 0; i < input.size(); ++i) {
    input[i] = std::uint8_t(i / 4 % 256);          // a: the column
    ref.fObj->fFeedback[i] = std::uint8_t(i / 4 / 256);  // b: the row
  }
  std::memcpy(fast.fObj->fFeedback, ref.fObj->fFeedback, input.size());
  for (PlugObj* obj : {ref.fObj, fast.fObj}) {
    std::memset(obj->fWaveTable, 0, cells * 4);
    obj->fParams[kAngMul].fValue = 0.0f;
  }
  // Angle code 0 selects direction entry 0; an all-zero entry makes every pixel read itself.
  ref.fObj->fDirTable[0] = fast.fObj->fDirTable[0] = DirEntry{0, 0};
  const FrameSlot slot{kSlotImage, 4, input.data(), w, h, nullptr, 0, 0};
  std::int32_t lastWeight = -1;
  for (int step = 0; step <= 1000; ++step) {
    const float blend = float(step) / 1000.0f;
    ref.fObj->fParams[kBlend].fValue = fast.fObj->fParams[kBlend].fValue = blend;
    const std::int32_t weight = blendWeight(*ref.fObj, kGralden.fProfile);
    if (weight == lastWeight) continue;
    lastWeight = weight;
    runFeedbackPassWith(PassKernel::kReference, *ref.fObj, WarpQuad{}, kGralden.fProfile, slot);
    for (PassKernel k : kFast) {
      if (!passKernelAvailable(k)) continue;
      runFeedbackPassWith(k, *fast.fObj, WarpQuad{}, kGralden.fProfile, slot);
      ASSERT_EQ(std::memcmp(ref.fObj->fLastOutput, fast.fObj->fLastOutput, input.size()), 0)
          << kernelName(k) << " blend " << blend;
    }
  }
}

}  // namespace
}  // namespace fluxgrain
