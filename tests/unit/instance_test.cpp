// Creating and destroying instances: the frame-format checks, the initial state, and the release
// of everything an instance owns. The sanitizer build's leak check proves the releases.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <ostream>
#include <string>
#include <vector>

#include "effects/effects.h"
#include "engine/dirTable.h"
#include "shell/instance.h"

namespace fluxgrain {
namespace {

// Failure messages name a table case instead of dumping its bytes.
template <class Case>
  requires requires(const Case& c) { c.name; }
void PrintTo(const Case& c, std::ostream* os) {
  *os << c.name;
}

bool allZero(const std::uint8_t* p, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i)
    if (p[i] != 0) return false;
  return true;
}

void expectEmptySlot(const FrameSlot* s) {
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->fKind, kSlotEmpty);
  EXPECT_EQ(s->fBytesPerPixel, 0);
  EXPECT_EQ(s->fImage, nullptr);
  EXPECT_EQ(s->fAux, nullptr);
  EXPECT_EQ(s->fWidth, 0);
  EXPECT_EQ(s->fHeight, 0);
}

struct NewCase {
  const char* name;
  const PluginDef* def;
  std::uint32_t w, h, bitDepth;
  std::int32_t bpp;
};

class NewInstance : public ::testing::TestWithParam<NewCase> {};

TEST_P(NewInstance, StartsBlackWithDefaultsAndEmptySlots) {
  const NewCase& c = GetParam();
  const VideoInfoStruct info{c.w, c.h, c.bitDepth, 1};
  PlugObj* obj = instantiate(*c.def, &info);
  ASSERT_NE(obj, nullptr);
  EXPECT_TRUE(obj->fMultiReady);
  EXPECT_EQ(obj->fWidth, std::int32_t(c.w));
  EXPECT_EQ(obj->fHeight, std::int32_t(c.h));
  EXPECT_EQ(obj->fBitDepth, std::int32_t(c.bitDepth));
  EXPECT_EQ(obj->fOrientation, 1);

  const std::size_t bytes = std::size_t(c.bpp) * c.w * c.h;
  ASSERT_NE(obj->fFeedback, nullptr);
  ASSERT_NE(obj->fLastOutput, nullptr);
  EXPECT_NE(obj->fFeedback, obj->fLastOutput);
  EXPECT_TRUE(allZero(obj->fFeedback, bytes));
  EXPECT_TRUE(allZero(obj->fLastOutput, bytes));

  for (int i = 0; i < c.def->fNumParams; ++i)
    EXPECT_EQ(std::bit_cast<std::uint32_t>(obj->fParams[i].fValue),
              std::bit_cast<std::uint32_t>(c.def->fParamTable[i].fDefault))
        << "parameter " << i;

  ASSERT_NE(obj->fMulti, nullptr);
  EXPECT_EQ(obj->fMulti->fInCount, 0u);
  EXPECT_EQ(obj->fMulti->fOutCount, 0u);
  std::vector<const FrameSlot*> seen;
  for (int i = 0; i < kSlotsPerHalf; ++i) {
    SCOPED_TRACE(i);
    expectEmptySlot(obj->fMulti->fInputs[i]);
    expectEmptySlot(obj->fMulti->fOutputs[i]);
    seen.push_back(obj->fMulti->fInputs[i]);
    seen.push_back(obj->fMulti->fOutputs[i]);
  }
  std::sort(seen.begin(), seen.end());
  EXPECT_EQ(std::adjacent_find(seen.begin(), seen.end()), seen.end()) << "32 distinct records";

  EXPECT_EQ(obj->fPhaseA, 0.0);
  EXPECT_EQ(obj->fPhaseB, 0.0);
  for (double offset : obj->fCornerOffset) EXPECT_EQ(offset, 1.0);
  EXPECT_NE(obj->fWaveTable, nullptr);
  deInstantiate(obj);
}

INSTANTIATE_TEST_SUITE_P(Instance, NewInstance,
                         ::testing::Values(NewCase{"Orvial24", &kOrvial, 320, 240, FF_DEPTH_24, 3},
                                           NewCase{"Pellum32", &kPellum, 64, 48, FF_DEPTH_32, 4},
                                           NewCase{"Gralden32", &kGralden, 320, 240, FF_DEPTH_32,
                                                   4}),
                         [](const auto& testInfo) { return std::string(testInfo.param.name); });

// Family B also gets its direction table; family A has none.
TEST(Instance, EveryPlugInGetsItsTables) {
  const VideoInfoStruct info{16, 8, FF_DEPTH_32, 0};
  for (const PluginDef* def :
       {&kPellum, &kCaldor, &kFennix, &kGralden, &kOrvial, &kZentrik, &kLumbra, &kSolvane}) {
    SCOPED_TRACE(def->fName);
    PlugObj* obj = instantiate(*def, &info);
    ASSERT_NE(obj, nullptr);
    EXPECT_NE(obj->fWaveTable, nullptr);
    if (def->fNumParams == 8) {
      ASSERT_NE(obj->fDirTable, nullptr);
      EXPECT_EQ(obj->fDirTable[0].fCos, 65536);
      EXPECT_EQ(obj->fDirTable[0].fSin, 0);
      EXPECT_EQ(obj->fDirTable[1].fCos, 65535);
      EXPECT_EQ(obj->fDirTable[1].fSin, 31);
    } else {
      EXPECT_EQ(obj->fDirTable, nullptr);
    }
    deInstantiate(obj);
  }
}

struct RefusedCase {
  const char* name;
  VideoInfoStruct info;
};

class Refused : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(Refused, GivesNoInstance) {
  const RefusedCase& c = GetParam();
  EXPECT_EQ(instantiate(kOrvial, &c.info), nullptr);
  EXPECT_EQ(instantiate(kGralden, &c.info), nullptr);
}

// The oversized frames come back at once: nothing of their size is allocated or built.
INSTANTIATE_TEST_SUITE_P(
    Instance, Refused,
    ::testing::Values(RefusedCase{"SixteenBit", {320, 240, FF_DEPTH_16, 0}},
                      RefusedCase{"DepthCode3", {320, 240, 3, 0}},
                      RefusedCase{"DepthCodeMax", {320, 240, 0xFFFFFFFFu, 0}},
                      RefusedCase{"TooManyPixels", {65536, 65536, FF_DEPTH_32, 0}},
                      RefusedCase{"TooManyCells", {32768, 16384, FF_DEPTH_24, 0}},
                      RefusedCase{"WidthAboveInt32", {0x80000000u, 1, FF_DEPTH_32, 0}},
                      RefusedCase{"HeightAboveInt32WidthZero", {0, 0x80000000u, FF_DEPTH_32, 0}}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST(Instance, NullVideoInfoGivesNoInstance) { EXPECT_EQ(instantiate(kPellum, nullptr), nullptr); }

// A frame without pixels is valid: empty buffers, and tables with no cells.
TEST(Instance, ZeroWidthOrHeightSucceeds) {
  const std::uint32_t sizes[][2] = {{0, 240}, {320, 0}, {0, 0}};
  for (const PluginDef* def : {&kOrvial, &kFennix, &kLumbra}) {
    for (const auto& size : sizes) {
      SCOPED_TRACE(std::string(def->fName) + " " + std::to_string(size[0]) + "x" +
                   std::to_string(size[1]));
      const VideoInfoStruct info{size[0], size[1], FF_DEPTH_32, 0};
      PlugObj* obj = instantiate(*def, &info);
      ASSERT_NE(obj, nullptr);
      EXPECT_EQ(obj->fWidth, std::int32_t(size[0]));
      EXPECT_EQ(obj->fHeight, std::int32_t(size[1]));
      EXPECT_TRUE(obj->fMultiReady);
      deInstantiate(obj);
    }
  }
}

struct FitCase {
  const char* name;
  std::uint64_t w, h;
  std::int32_t bpp, k;
  bool fits;
};

class SizeFits : public ::testing::TestWithParam<FitCase> {};

TEST_P(SizeFits, Limits) {
  const FitCase& c = GetParam();
  EXPECT_EQ(frameSizeFits(c.w, c.h, c.bpp, c.k), c.fits);
}

constexpr std::uint64_t kIntMax = std::numeric_limits<std::int32_t>::max();
constexpr bool kWideSize = sizeof(std::size_t) > 4;

INSTANTIATE_TEST_SUITE_P(
    Instance, SizeFits,
    ::testing::Values(FitCase{"Ordinary", 320, 240, 4, 2, true},
                      FitCase{"Empty", 0, 0, 4, 4, true},
                      FitCase{"WidestRow", kIntMax, 0, 4, 2, true},
                      FitCase{"WidthAboveInt32", kIntMax + 1, 0, 4, 2, false},
                      FitCase{"HeightAboveInt32", 0, kIntMax + 1, 3, 2, false},
                      FitCase{"PixelsAboveInt32", 65536, 65536, 3, 2, false},
                      // 2^29 pixels: 2^31 cells at K = 2, one too many for int32 indices.
                      FitCase{"CellsAboveInt32", 32768, 16384, 3, 2, false},
                      // The cells fit int32; their 8 GB of table only a 64-bit size.
                      FitCase{"CellsJustFit", 32767, 16384, 3, 2, kWideSize},
                      FitCase{"CellsAboveInt32FourFold", 16384, 8192, 3, 4, false},
                      // 2^30 cells fit int32, but 2^32 table bytes only a 64-bit size.
                      FitCase{"TableBytesNeedWideSize", 16384, 16384, 4, 2, kWideSize}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

// The images the frame path puts into the slots go with the instance.
TEST(Instance, DeInstantiateReleasesSlotImages) {
  const VideoInfoStruct info{8, 4, FF_DEPTH_32, 0};
  PlugObj* obj = instantiate(kPellum, &info);
  ASSERT_NE(obj, nullptr);
  std::vector<std::uint8_t> frame(4 * 8 * 4, 0x42);
  const void* sources[2] = {frame.data(), frame.data()};
  MultiFrame& m = *obj->fMulti;
  reconcileSlots(m.fInCount, m.fInputs, 2, sources, 4, 8, 4);
  reconcileSlots(m.fOutCount, m.fOutputs, 1, sources, 4, 8, 4);
  ASSERT_NE(m.fInputs[1]->fImage, nullptr);
  ASSERT_NE(m.fOutputs[0]->fImage, nullptr);
  deInstantiate(obj);
}

void* heapImage(std::size_t n) {
  void* p = std::malloc(n);
  std::memset(p, 0x24, n);
  return p;
}

// A code-16 call copies the caller's descriptor over the instance's: the caller's slot records
// stay the caller's (emptied, not freed), their images become the instance's, and the
// instance's own 32 records, displaced from the descriptor with the images they held, must
// still be released.
TEST(Instance, DeInstantiateAfterCallerDescriptor) {
  const VideoInfoStruct info{8, 4, FF_DEPTH_32, 0};
  PlugObj* obj = instantiate(kSolvane, &info);
  ASSERT_NE(obj, nullptr);
  std::vector<std::uint8_t> frame(4 * 8 * 4, 0x42);
  const void* source = frame.data();
  reconcileSlots(obj->fMulti->fInCount, obj->fMulti->fInputs, 1, &source, 4, 8, 4);
  reconcileSlots(obj->fMulti->fOutCount, obj->fMulti->fOutputs, 1, &source, 4, 8, 4);

  FrameSlot callerSlots[2 * kSlotsPerHalf];
  for (FrameSlot& s : callerSlots) s = FrameSlot{kSlotEmpty, 0, nullptr, 0, 0, nullptr, 0, 0};
  callerSlots[0] = FrameSlot{kSlotImage, 4, heapImage(128), 8, 4, heapImage(16), 0, 0};
  callerSlots[kSlotsPerHalf] = FrameSlot{kSlotImage, 4, heapImage(128), 8, 4, nullptr, 0, 0};
  callerSlots[kSlotsPerHalf].fAux = callerSlots[kSlotsPerHalf].fImage;
  callerSlots[3] = FrameSlot{kSlotImage, 3, heapImage(96), 8, 4, nullptr, 0, 0};  // inactive
  MultiFrame caller{};
  caller.fInCount = 1;
  caller.fOutCount = 1;
  for (int i = 0; i < kSlotsPerHalf; ++i) {
    caller.fInputs[i] = &callerSlots[i];
    caller.fOutputs[i] = &callerSlots[kSlotsPerHalf + i];
  }
  caller.fInputs[12] = nullptr;  // skipped
  caller.fOutputs[9] = nullptr;
  std::memcpy(obj->fMulti, &caller, sizeof caller);

  deInstantiate(obj);
  for (int i = 0; i < 2 * kSlotsPerHalf; ++i) {
    SCOPED_TRACE(i);
    expectEmptySlot(&callerSlots[i]);
  }
}

}  // namespace
}  // namespace fluxgrain
