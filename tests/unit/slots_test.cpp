// Frame slots: filling, reusing and emptying the images of one half of a descriptor. Every image
// is C heap; the sanitizer build turns a double release or a leaked image into a failure.
#include <gtest/gtest.h>

#include <malloc.h>

#include <cstdlib>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "pipeline/frameSlots.h"

namespace fluxgrain {
namespace {

// Failure messages name a table case instead of dumping its bytes.
template <class Case>
  requires requires(const Case& c) { c.name; }
void PrintTo(const Case& c, std::ostream* os) {
  *os << c.name;
}

FrameSlot emptySlot() { return FrameSlot{kSlotEmpty, 0, nullptr, 0, 0, nullptr, 0, 0}; }

// A slot holding a heap image of the given format, filled with `fill`.
FrameSlot heldSlot(std::int32_t bpp, std::int32_t w, std::int32_t h, std::uint8_t fill) {
  const std::size_t n = std::size_t(bpp * w * h);
  void* image = std::malloc(n);
  std::memset(image, fill, n);
  return FrameSlot{kSlotImage, bpp, image, w, h, nullptr, 0, 0};
}

void* heapBlock(std::size_t n) { return std::calloc(n, 1); }

// One half of a descriptor: 16 records, the pointers to them, and the count. Whatever images
// are left at the end are released, so only the code under test can leak.
struct Half {
  FrameSlot fSlots[kSlotsPerHalf];
  FrameSlot* fPtrs[kSlotsPerHalf];
  std::uint32_t fCount = 99;

  Half() {
    for (int i = 0; i < kSlotsPerHalf; ++i) {
      fSlots[i] = emptySlot();
      fPtrs[i] = &fSlots[i];
    }
  }
  ~Half() {
    for (FrameSlot& s : fSlots) releaseSlot(s);
  }

  void reconcile(std::uint32_t count, const std::vector<std::vector<std::uint8_t>>& sources,
                 std::int32_t bpp, std::int32_t w, std::int32_t h) {
    std::vector<const void*> src;
    for (const auto& s : sources) src.push_back(s.data());
    reconcileSlots(fCount, fPtrs, count, src.data(), bpp, w, h);
  }
};

std::vector<std::uint8_t> frame(std::size_t bytes, std::uint8_t seed) {
  std::vector<std::uint8_t> f(bytes);
  for (std::size_t i = 0; i < bytes; ++i) f[i] = std::uint8_t(i * 7 + seed);
  return f;
}

// The slot holds a copy of `source` in an image of at least its size.
void expectHolds(const FrameSlot& s, const std::vector<std::uint8_t>& source, std::int32_t bpp,
                 std::int32_t w, std::int32_t h) {
  EXPECT_EQ(s.fKind, kSlotImage);
  EXPECT_EQ(s.fBytesPerPixel, bpp);
  EXPECT_EQ(s.fWidth, w);
  EXPECT_EQ(s.fHeight, h);
  EXPECT_EQ(s.fAux, nullptr);
  EXPECT_EQ(s.fReserved1, 0);
  EXPECT_EQ(s.fReserved2, 0);
  ASSERT_NE(s.fImage, nullptr);
  ASSERT_GE(malloc_usable_size(s.fImage), source.size());
  EXPECT_EQ(std::memcmp(s.fImage, source.data(), source.size()), 0);
}

void expectEmpty(const FrameSlot& s) {
  EXPECT_EQ(s.fKind, kSlotEmpty);
  EXPECT_EQ(s.fBytesPerPixel, 0);
  EXPECT_EQ(s.fImage, nullptr);
  EXPECT_EQ(s.fAux, nullptr);
  EXPECT_EQ(s.fWidth, 0);
  EXPECT_EQ(s.fHeight, 0);
  EXPECT_EQ(s.fReserved1, 0);
  EXPECT_EQ(s.fReserved2, 0);
}

TEST(Slots, FirstFrameAllocatesSecondReusesBuffer) {
  Half half;
  const auto first = frame(4 * 320 * 240, 1);
  half.reconcile(1, {first}, 4, 320, 240);
  EXPECT_EQ(half.fCount, 1u);
  expectHolds(half.fSlots[0], first, 4, 320, 240);
  for (int i = 1; i < kSlotsPerHalf; ++i) expectEmpty(half.fSlots[i]);

  void* const image = half.fSlots[0].fImage;
  const auto second = frame(4 * 320 * 240, 2);
  half.reconcile(1, {second}, 4, 320, 240);
  EXPECT_EQ(half.fSlots[0].fImage, image);
  expectHolds(half.fSlots[0], second, 4, 320, 240);
  for (int i = 1; i < kSlotsPerHalf; ++i) expectEmpty(half.fSlots[i]);
}

TEST(Slots, EachActiveSlotCopiesItsOwnSource) {
  Half half;
  const auto a = frame(3 * 5 * 4, 10), b = frame(3 * 5 * 4, 20), c = frame(3 * 5 * 4, 30);
  half.reconcile(3, {a, b, c}, 3, 5, 4);
  EXPECT_EQ(half.fCount, 3u);
  expectHolds(half.fSlots[0], a, 3, 5, 4);
  expectHolds(half.fSlots[1], b, 3, 5, 4);
  expectHolds(half.fSlots[2], c, 3, 5, 4);
  for (int i = 3; i < kSlotsPerHalf; ++i) expectEmpty(half.fSlots[i]);
}

struct FormatChange {
  const char* name;
  FrameSlot (*before)();  // the slot as it meets a 4-byte 32 x 24 frame
};

class Reformat : public ::testing::TestWithParam<FormatChange> {};

// Any mismatch in width, height, pixel size or a missing image gives a fresh image of the new
// size (a reused smaller buffer would be written past its end).
TEST_P(Reformat, GetsFullSizedImage) {
  Half half;
  half.fSlots[0] = GetParam().before();
  const auto source = frame(4 * 32 * 24, 5);
  half.reconcile(1, {source}, 4, 32, 24);
  expectHolds(half.fSlots[0], source, 4, 32, 24);
}

INSTANTIATE_TEST_SUITE_P(
    Slots, Reformat,
    ::testing::Values(
        FormatChange{"ThreeBytesPerPixel", [] { return heldSlot(3, 32, 24, 0xEE); }},
        FormatChange{"Narrower", [] { return heldSlot(4, 31, 24, 0xEE); }},
        FormatChange{"Shorter", [] { return heldSlot(4, 32, 23, 0xEE); }},
        FormatChange{"NoImage",
                     [] { return FrameSlot{kSlotImage, 4, nullptr, 32, 24, nullptr, 0, 0}; }},
        // An alias of the old image in fAux goes with it, released once.
        FormatChange{"AuxAliasesImage",
                     [] {
                       FrameSlot s = heldSlot(3, 32, 24, 0xEE);
                       s.fAux = s.fImage;
                       return s;
                     }}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

// A reused slot is set up like a new one: separate fAux released, kind and reserved fields reset.
TEST(Slots, ReuseReleasesSeparateAuxAndResetsFields) {
  Half half;
  half.fSlots[0] = heldSlot(4, 8, 8, 0);
  half.fSlots[0].fAux = heapBlock(64);
  half.fSlots[0].fKind = kSlotEmpty;
  half.fSlots[0].fReserved1 = 7;
  half.fSlots[0].fReserved2 = -7;
  void* const image = half.fSlots[0].fImage;
  const auto source = frame(4 * 8 * 8, 3);
  half.reconcile(1, {source}, 4, 8, 8);
  EXPECT_EQ(half.fSlots[0].fImage, image);  // the image itself is kept
  expectHolds(half.fSlots[0], source, 4, 8, 8);
}

// A reused image that fAux also names must survive: only the alias is dropped.
TEST(Slots, AuxAliasOfReusedImageIsNotReleased) {
  Half half;
  half.fSlots[0] = heldSlot(4, 8, 8, 0);
  half.fSlots[0].fAux = half.fSlots[0].fImage;
  void* const image = half.fSlots[0].fImage;
  const auto source = frame(4 * 8 * 8, 4);
  half.reconcile(1, {source}, 4, 8, 8);
  EXPECT_EQ(half.fSlots[0].fImage, image);
  expectHolds(half.fSlots[0], source, 4, 8, 8);
}

TEST(Slots, OddPixelSizeHoldsImageButIsNotKind1001) {
  Half half;
  const auto source = frame(2 * 6 * 2, 9);
  half.reconcile(1, {source}, 2, 6, 2);
  const FrameSlot& s = half.fSlots[0];
  EXPECT_EQ(s.fKind, kSlotEmpty);
  EXPECT_EQ(s.fBytesPerPixel, 2);
  ASSERT_NE(s.fImage, nullptr);
  EXPECT_EQ(std::memcmp(s.fImage, source.data(), source.size()), 0);
}

TEST(Slots, CountZeroEmptiesEverySlot) {
  Half half;
  for (int i = 0; i < kSlotsPerHalf; i += 5) half.fSlots[i] = heldSlot(4, 4, 4, 1);
  half.fSlots[5].fAux = heapBlock(16);
  half.fSlots[10].fReserved1 = 3;
  half.reconcile(0, {}, 4, 4, 4);
  EXPECT_EQ(half.fCount, 0u);
  for (int i = 0; i < kSlotsPerHalf; ++i) {
    SCOPED_TRACE(i);
    expectEmpty(half.fSlots[i]);
  }
}

TEST(Slots, NullSlotPointersAreSkipped) {
  Half half;
  half.fSlots[1] = heldSlot(4, 4, 4, 1);  // out of reach behind a null pointer: left alone
  half.fSlots[3] = heldSlot(4, 4, 4, 1);
  half.fPtrs[1] = nullptr;
  half.fPtrs[7] = nullptr;
  const auto a = frame(4 * 4 * 4, 1), b = frame(4 * 4 * 4, 2), c = frame(4 * 4 * 4, 3);
  half.reconcile(3, {a, b, c}, 4, 4, 4);
  EXPECT_EQ(half.fCount, 3u);
  expectHolds(half.fSlots[0], a, 4, 4, 4);
  EXPECT_EQ(half.fSlots[1].fBytesPerPixel, 4);
  EXPECT_EQ(static_cast<std::uint8_t*>(half.fSlots[1].fImage)[0], 1);
  expectHolds(half.fSlots[2], c, 4, 4, 4);
  expectEmpty(half.fSlots[3]);
}

struct ReleaseCase {
  const char* name;
  FrameSlot (*make)();
};

class Release : public ::testing::TestWithParam<ReleaseCase> {};

// Each buffer is released exactly once and every field is cleared.
TEST_P(Release, EmptiesSlot) {
  FrameSlot s = GetParam().make();
  releaseSlot(s);
  expectEmpty(s);
  releaseSlot(s);  // an empty slot stays empty
  expectEmpty(s);
}

INSTANTIATE_TEST_SUITE_P(
    Slots, Release,
    ::testing::Values(ReleaseCase{"Empty", emptySlot},
                      ReleaseCase{"ImageOnly", [] { return heldSlot(3, 4, 4, 0); }},
                      ReleaseCase{"AuxIsImage",
                                  [] {
                                    FrameSlot s = heldSlot(4, 4, 4, 0);
                                    s.fAux = s.fImage;
                                    return s;
                                  }},
                      ReleaseCase{"SeparateAux",
                                  [] {
                                    FrameSlot s = heldSlot(4, 4, 4, 0);
                                    s.fAux = heapBlock(32);
                                    s.fReserved1 = 1;
                                    s.fReserved2 = 2;
                                    return s;
                                  }},
                      ReleaseCase{"AuxOnly",
                                  [] {
                                    FrameSlot s = emptySlot();
                                    s.fAux = heapBlock(32);
                                    return s;
                                  }}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

}  // namespace
}  // namespace fluxgrain
