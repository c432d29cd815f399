// Code 16: a caller hands over its own MultiFrame. The instance takes over the images of the
// caller's slots (and frees them with free), while the slot records stay the caller's and must live
// until FF_DEINSTANTIATE; the sanitizer build's leak checker shows that the images are released.
#include <cstdlib>
#include <cstring>
#include <string>

#include "pipeline/frameSlots.h"
#include "tests/plugin/pluginHost.h"

namespace fluxgrain::test {
namespace {

constexpr FFUInt32 kW = 16, kH = 8;
constexpr std::int32_t kKindImage = 1001, kKindEmpty = 1;

// A caller-built descriptor: 16 input and 16 output slot records, all empty to begin with.
struct CallerFrames {
  FrameSlot fSlots[2 * kSlotsPerHalf]{};
  MultiFrame fMulti{};

  CallerFrames() {
    for (int i = 0; i < kSlotsPerHalf; ++i) {
      fSlots[i].fKind = kKindEmpty;
      fSlots[kSlotsPerHalf + i].fKind = kKindEmpty;
      fMulti.fInputs[i] = &fSlots[i];
      fMulti.fOutputs[i] = &fSlots[kSlotsPerHalf + i];
    }
  }
  CallerFrames(const CallerFrames&) = delete;
  CallerFrames& operator=(const CallerFrames&) = delete;
  FrameSlot& input() { return fSlots[0]; }
  FrameSlot& output() { return fSlots[kSlotsPerHalf]; }

  // Gives a slot a malloc'd image of the given format holding `content` (or 0xAB bytes).
  static void fill(FrameSlot& slot, std::int32_t w, std::int32_t h, std::int32_t bpp,
                   const Frame* content = nullptr) {
    const std::size_t n = std::size_t(w) * std::size_t(h) * std::size_t(bpp);
    slot.fImage = std::malloc(n);
    if (content != nullptr)
      std::memcpy(slot.fImage, content->data(), n);
    else
      std::memset(slot.fImage, 0xAB, n);
    slot.fKind = kKindImage;
    slot.fBytesPerPixel = bpp;
    slot.fWidth = w;
    slot.fHeight = h;
  }
  // For calls refused before the instance took the descriptor over: the images are still ours.
  void freeImages() {
    for (FrameSlot& s : fSlots) {
      std::free(s.fImage);
      s.fImage = nullptr;
    }
  }
};

Frame imageOf(const FrameSlot& slot) {
  const auto* b = static_cast<const std::uint8_t*>(slot.fImage);
  return Frame(b, b + std::size_t(slot.fWidth) * slot.fHeight * slot.fBytesPerPixel);
}

struct MultiCase {
  const char* fName;
  FFUInt32 fDepth;
};
void PrintTo(const MultiCase& c, std::ostream* os) {
  *os << c.fName << (c.fDepth == FF_DEPTH_32 ? " 32-bit" : " 24-bit");
}

class Multi : public ::testing::TestWithParam<MultiCase> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(fPlugin.loaded());
    fIn1 = patternFrame(kW, kH, bpp(), 1);
    fIn2 = patternFrame(kW, kH, bpp(), 2);
    // What FF_PROCESSFRAME makes of the two inputs on a fresh instance.
    Instance ref(plugin(), kW, kH, GetParam().fDepth);
    fOut1 = fIn1;
    fOut2 = fIn2;
    ASSERT_EQ(ref.process(fOut1.data()), FF_SUCCESS);
    ASSERT_EQ(ref.process(fOut2.data()), FF_SUCCESS);
  }
  const LoadedPlugin& plugin() const { return fPlugin; }
  std::int32_t bpp() const { return std::int32_t(bytesPerPixel(GetParam().fDepth)); }
  // Code 16 with stderr captured; returns the answer, stores the text in fErr.
  FFUInt32 multi(const Instance& inst, void* frames) {
    FFUInt32 r = 0;
    fErr = captureStderr([&] { r = processMulti(plugin(), inst.id(), frames); });
    return r;
  }

  PluginHandle fPlugin{GetParam().fName};
  Frame fIn1, fIn2, fOut1, fOut2;
  std::string fErr;
};

TEST_P(Multi, ValidDescriptorDeliversIntoTheCallersOutputSlot) {
  CallerFrames caller;  // declared first: outlives the instance that refers to it
  {
    Instance inst(plugin(), kW, kH, GetParam().fDepth);
    ASSERT_TRUE(inst.ok());
    CallerFrames::fill(caller.input(), kW, kH, bpp(), &fIn1);
    CallerFrames::fill(caller.output(), kW, kH, bpp());
    caller.fMulti.fInCount = 1;
    caller.fMulti.fOutCount = 1;
    ASSERT_EQ(multi(inst, &caller.fMulti), FF_SUCCESS);
    EXPECT_EQ(fErr, "");
    EXPECT_EQ(imageOf(caller.output()), fOut1);
    EXPECT_EQ(imageOf(caller.input()), fIn1);

    // The same history goes on through FF_PROCESSFRAME, which now fills the caller's slots.
    Frame f = fIn2;
    ASSERT_EQ(inst.process(f.data()), FF_SUCCESS);
    EXPECT_EQ(f, fOut2);
    ASSERT_NE(caller.input().fImage, nullptr);
    EXPECT_EQ(caller.input().fKind, kKindImage);
    EXPECT_EQ(imageOf(caller.input()), fIn2);
    EXPECT_EQ(imageOf(caller.output()), fOut2);
  }
  // FF_DEINSTANTIATE emptied the caller's slots and freed their images.
  for (const FrameSlot& s : caller.fSlots) {
    EXPECT_EQ(s.fImage, nullptr);
    EXPECT_EQ(s.fKind, kKindEmpty);
  }
}

// The descriptor is taken over (the images become the instance's), then refused: nothing of the
// history or the animation moves, so the next frame is a first frame.
TEST_P(Multi, NoUsableImageIsRefused) {
  struct Case {
    const char* what;
    std::uint32_t inCount, outCount;
    bool inImage, outImage;
  };
  const Case cases[] = {{"no output count", 1, 0, true, true},
                        {"no input count", 0, 1, true, true},
                        {"no input image", 1, 1, false, true},
                        {"no output image", 1, 1, true, false}};
  for (const Case& k : cases) {
    CallerFrames caller;
    Instance inst(plugin(), kW, kH, GetParam().fDepth);
    ASSERT_TRUE(inst.ok());
    if (k.inImage) CallerFrames::fill(caller.input(), kW, kH, bpp(), &fIn1);
    if (k.outImage) CallerFrames::fill(caller.output(), kW, kH, bpp());
    caller.fMulti.fInCount = k.inCount;
    caller.fMulti.fOutCount = k.outCount;
    EXPECT_EQ(multi(inst, &caller.fMulti), FF_FAIL) << k.what;
    EXPECT_EQ(fErr, "Oxa_Multi: Error: No valid input data present\n") << k.what;
    Frame f = fIn1;
    ASSERT_EQ(inst.process(f.data()), FF_SUCCESS) << k.what;
    EXPECT_EQ(f, fOut1) << k.what;
    // The instance's descriptor is the caller's now: the frame went into the caller's slots.
    ASSERT_NE(caller.input().fImage, nullptr) << k.what;
    EXPECT_EQ(imageOf(caller.input()), fIn1) << k.what;
  }
}

// A slot-0 image of another width, height or pixel size would take the pass outside the buffers:
// refused before the descriptor is taken over, so the images stay the caller's.
TEST_P(Multi, ImageOfAnotherFormatIsRefusedBeforeAnythingChanges) {
  const std::int32_t w = kW, h = kH, b = bpp(), otherB = b == 4 ? 3 : 4;
  struct Case {
    const char* what;
    bool inInput;
    std::int32_t w, h, bpp;
  };
  const Case cases[] = {{"input wider", true, w + 1, h, b},   {"input narrower", true, w - 1, h, b},
                        {"input taller", true, w, h + 1, b},  {"input shorter", true, w, h - 1, b},
                        {"input pixel size", true, w, h, otherB},
                        {"output wider", false, w + 1, h, b}, {"output shorter", false, w, h - 1, b},
                        {"output pixel size", false, w, h, otherB}};
  for (const Case& k : cases) {
    CallerFrames caller;
    Instance inst(plugin(), kW, kH, GetParam().fDepth);
    ASSERT_TRUE(inst.ok());
    FrameSlot& odd = k.inInput ? caller.input() : caller.output();
    FrameSlot& good = k.inInput ? caller.output() : caller.input();
    CallerFrames::fill(odd, k.w, k.h, k.bpp);
    CallerFrames::fill(good, w, h, b, &fIn1);
    caller.fMulti.fInCount = 1;
    caller.fMulti.fOutCount = 1;
    const FrameSlot oddBefore = odd, goodBefore = good;
    const Frame oddImage = imageOf(odd);

    EXPECT_EQ(multi(inst, &caller.fMulti), FF_FAIL) << k.what;
    EXPECT_EQ(fErr.rfind("Oxa_Multi: ", 0), 0u) << k.what << ": " << fErr;
    EXPECT_EQ(fErr.find('\n'), fErr.size() - 1) << "one line: " << fErr;

    Frame f = fIn1;
    ASSERT_EQ(inst.process(f.data()), FF_SUCCESS) << k.what;
    EXPECT_EQ(f, fOut1) << k.what << ": the refused call changed the instance";
    // The instance kept its own descriptor: the caller's records and images are as they were.
    EXPECT_EQ(std::memcmp(&odd, &oddBefore, sizeof odd), 0) << k.what;
    EXPECT_EQ(std::memcmp(&good, &goodBefore, sizeof good), 0) << k.what;
    EXPECT_EQ(imageOf(odd), oddImage) << k.what;
    EXPECT_EQ(imageOf(good), fIn1) << k.what;
    caller.freeImages();
  }
}

INSTANTIATE_TEST_SUITE_P(OnePerFamily, Multi,
                         ::testing::Values(MultiCase{"OxaFGPellum1", FF_DEPTH_32},
                                           MultiCase{"OxaFGGralden1", FF_DEPTH_24}),
                         [](const auto& test) { return std::string(test.param.fName); });

}  // namespace
}  // namespace fluxgrain::test
