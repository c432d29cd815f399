// Code 16 with a descriptor written byte by byte at the documented offsets of the build's word
// width (32-bit: MultiFrame 136 bytes, FrameSlot 32; 64-bit: 272 and 40), without the plug-in's
// own record definitions: that is how a caller built by another compiler lays the records out.
#include <cstdlib>
#include <cstring>
#include <vector>

#include "tests/plugin/pluginHost.h"

namespace fluxgrain::test {
namespace {

struct Layout {
  std::size_t fMultiSize, fInputs, fOutCount, fOutputs;                // MultiFrame
  std::size_t fSlotSize, fBytesPerPixel, fImage, fWidth, fHeight, fAux;  // FrameSlot
};
constexpr Layout kLayout32{136, 4, 68, 72, 32, 4, 8, 12, 16, 20};
constexpr Layout kLayout64{272, 8, 136, 144, 40, 4, 8, 16, 20, 24};
constexpr Layout kLayout = sizeof(void*) == 4 ? kLayout32 : kLayout64;
constexpr std::size_t kInCount = 0, kKind = 0;
constexpr int kSlots = 16;
constexpr FFUInt32 kW = 12, kH = 6, kBpp = 4;
constexpr std::size_t kFrameBytes = std::size_t(kW) * kH * kBpp;

// Every plugMain answer is one word of the build's width: 4 bytes in a 32-bit build.
static_assert(sizeof(FFMixed) == sizeof(void*));

void put32(std::uint8_t* at, std::uint32_t v) { std::memcpy(at, &v, 4); }
void putPointer(std::uint8_t* at, const void* p) { std::memcpy(at, &p, sizeof p); }
void* pointerAt(const std::uint8_t* at) {
  void* p;
  std::memcpy(&p, at, sizeof p);
  return p;
}

// A MultiFrame of 16 input and 16 output slots as raw bytes, slot 0 of each half holding a
// malloc'd image of the instance's format, the others empty.
struct RawFrames {
  std::vector<std::uint8_t> fMulti = std::vector<std::uint8_t>(kLayout.fMultiSize);
  std::vector<std::uint8_t> fSlots = std::vector<std::uint8_t>(2 * kSlots * kLayout.fSlotSize);

  explicit RawFrames(const Frame& input) {
    put32(&fMulti[kInCount], 1);
    put32(&fMulti[kLayout.fOutCount], 1);
    for (int i = 0; i < 2 * kSlots; ++i) {
      const std::size_t half = i < kSlots ? kLayout.fInputs : kLayout.fOutputs;
      putPointer(&fMulti[half + std::size_t(i % kSlots) * sizeof(void*)], slot(i));
      put32(slot(i) + kKind, 1);
    }
    for (int i : {0, kSlots}) {
      auto* image = static_cast<std::uint8_t*>(std::malloc(kFrameBytes));
      if (i == 0)
        std::memcpy(image, input.data(), kFrameBytes);
      else
        std::memset(image, 0xAB, kFrameBytes);
      put32(slot(i) + kKind, 1001);
      put32(slot(i) + kLayout.fBytesPerPixel, kBpp);
      putPointer(slot(i) + kLayout.fImage, image);
      put32(slot(i) + kLayout.fWidth, kW);
      put32(slot(i) + kLayout.fHeight, kH);
      putPointer(slot(i) + kLayout.fAux, nullptr);
    }
  }
  std::uint8_t* slot(int i) { return &fSlots[std::size_t(i) * kLayout.fSlotSize]; }
  Frame image(int i) {
    const auto* b = static_cast<const std::uint8_t*>(pointerAt(slot(i) + kLayout.fImage));
    return Frame(b, b + kFrameBytes);
  }
  void freeImages() {
    for (int i : {0, kSlots}) std::free(pointerAt(slot(i) + kLayout.fImage));
  }
};

class DescriptorBytes : public ::testing::TestWithParam<PluginCase> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(fPlugin.loaded());
    fInput = patternFrame(kW, kH, kBpp, 5);
    Instance ref(fPlugin, kW, kH, FF_DEPTH_32);
    fOutput = fInput;
    ASSERT_EQ(ref.process(fOutput.data()), FF_SUCCESS);
  }
  PluginHandle fPlugin{GetParam().fName};
  Frame fInput, fOutput;
};

TEST_P(DescriptorBytes, FramesFlowThroughTheRecordsAtTheirOffsets) {
  RawFrames raw(fInput);  // outlives the instance, which frees the images
  Instance inst(fPlugin, kW, kH, FF_DEPTH_32);
  ASSERT_TRUE(inst.ok());
  FFMixed answer{};
  const std::string err = captureStderr(
      [&] { answer = call(fPlugin, FF_PROCESSMULTI, raw.fMulti.data(), inst.id()); });
  EXPECT_EQ(wholeWord(answer), word32(FF_SUCCESS)) << err;
  EXPECT_EQ(raw.image(kSlots), fOutput);
  EXPECT_EQ(raw.image(0), fInput);
}

// Each field is read where it is documented: a wrong value written at that offset is refused.
TEST_P(DescriptorBytes, AWrongValueAtAFieldsOffsetIsRefused) {
  struct Case {
    const char* fWhat;
    bool fInMulti;  // else in output slot 0
    std::size_t fOffset;
    std::uint32_t fValue;
    bool fTakenOver;  // the instance took the images over before refusing
  };
  const Case cases[] = {{"output fWidth", false, kLayout.fWidth, kW + 1, false},
                        {"output fHeight", false, kLayout.fHeight, kH - 1, false},
                        {"output fBytesPerPixel", false, kLayout.fBytesPerPixel, 3, false},
                        {"fInCount", true, kInCount, 0, true},
                        {"fOutCount", true, kLayout.fOutCount, 0, true}};
  for (const Case& c : cases) {
    RawFrames raw(fInput);
    Instance inst(fPlugin, kW, kH, FF_DEPTH_32);
    ASSERT_TRUE(inst.ok());
    put32((c.fInMulti ? raw.fMulti.data() : raw.slot(kSlots)) + c.fOffset, c.fValue);
    FFMixed answer{};
    const std::string err = captureStderr(
        [&] { answer = call(fPlugin, FF_PROCESSMULTI, raw.fMulti.data(), inst.id()); });
    EXPECT_EQ(wholeWord(answer), word32(FF_FAIL)) << c.fWhat;
    EXPECT_EQ(err.rfind("Oxa_Multi: ", 0), 0u) << c.fWhat << ": " << err;
    if (!c.fTakenOver) raw.freeImages();
  }
}

INSTANTIATE_TEST_SUITE_P(OnePerFamily, DescriptorBytes,
                         ::testing::Values(pluginCase("OxaFGPellum1"), pluginCase("OxaFGGralden1")),
                         caseName);

}  // namespace
}  // namespace fluxgrain::test
