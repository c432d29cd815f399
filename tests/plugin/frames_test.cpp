// Frames through FF_PROCESSFRAME and FF_PROCESSFRAMECOPY: the blend with the history, the two
// codes sharing one history, their failure paths, and pixels checked against values worked out
// from the feedback rules independently of the code.
#include <algorithm>
#include <array>
#include <string>
#include <tuple>

#include "tests/plugin/pluginHost.h"

namespace fluxgrain::test {
namespace {

constexpr FFUInt32 kW = 16, kH = 8;

class Frames : public ::testing::TestWithParam<PluginCase> {
 protected:
  void SetUp() override { ASSERT_TRUE(fPlugin.loaded()); }
  const LoadedPlugin& plugin() const { return fPlugin; }
  PluginHandle fPlugin{GetParam().fName};
};

// Outputs of FF_PROCESSFRAME on a fresh instance for a sequence of inputs.
std::vector<Frame> referenceOutputs(const LoadedPlugin& p, FFUInt32 bitDepth,
                                    const std::vector<Frame>& inputs, float blend = -1) {
  Instance inst(p, kW, kH, bitDepth);
  if (blend >= 0) inst.set(kBlend, blend);
  std::vector<Frame> outputs;
  for (Frame f : inputs) {
    EXPECT_EQ(inst.process(f.data()), FF_SUCCESS);
    outputs.push_back(f);
  }
  return outputs;
}

// A uniform frame makes every feedback pixel alike, so the output does not depend on where the
// displacement fetches from: out = A + floor((B - A) * c / 256) per byte, with B the previous
// output (black before the first frame). The default "Blend" gives c = 239 in the seven-parameter
// plug-ins (0.12 -> trunc((1 - 0.06) * 255)) and c = 220 in the eight-parameter ones
// (0.28 -> trunc((1 - 0.14) * 256)). Worked by hand for the bytes 255, 200, 100, 0:
//   c = 239: first 16, 13, 6, 0; second 31, 25, 12, 0
//   c = 220: first 35, 28, 14, 0; second 65, 52, 26, 0
class UniformFrames : public ::testing::TestWithParam<std::tuple<PluginCase, FFUInt32>> {};

TEST_P(UniformFrames, BlendWithBlackThenWithTheFirstOutput) {
  const auto& [c, depth] = GetParam();
  PluginHandle p(c.fName);
  ASSERT_TRUE(p.loaded());
  const std::size_t bpp = bytesPerPixel(depth), bytes = bpp * kW * kH;
  const std::uint8_t first[2][4] = {{16, 13, 6, 0}, {35, 28, 14, 0}};
  const std::uint8_t second[2][4] = {{31, 25, 12, 0}, {65, 52, 26, 0}};
  const int family = c.fFamilyB ? 1 : 0;
  // 24-bit pixels take the first three of the bytes; a 32-bit one blends its fourth like the rest.
  const Frame input = depth == FF_DEPTH_32 ? uniformFrame(kW, kH, {255, 200, 100, 0})
                                           : uniformFrame(kW, kH, {255, 200, 100});
  Instance inst(p, kW, kH, depth);
  ASSERT_TRUE(inst.ok());
  constexpr std::uint8_t kGuard = 0xC3;  // bytes past the frame must stay as they are
  for (int round = 0; round < 2; ++round) {
    Frame frame = input;
    frame.resize(bytes + 8, kGuard);
    ASSERT_EQ(inst.process(frame.data()), FF_SUCCESS);
    const std::uint8_t* want = round == 0 ? first[family] : second[family];
    for (std::size_t i = 0; i < bytes; ++i)
      ASSERT_EQ(frame[i], want[i % bpp]) << "frame " << round + 1 << " byte " << i;
    for (std::size_t i = bytes; i < frame.size(); ++i) ASSERT_EQ(frame[i], kGuard);
  }
}

INSTANTIATE_TEST_SUITE_P(AllPlugins, UniformFrames,
                         ::testing::Combine(::testing::ValuesIn(kPlugins),
                                            ::testing::Values(FF_DEPTH_24, FF_DEPTH_32)),
                         [](const auto& test) {
                           return std::string(std::get<0>(test.param).fName) +
                                  (std::get<1>(test.param) == FF_DEPTH_32 ? "_32bit" : "_24bit");
                         });

// In place, copied, and both mixed on one instance: one history, the same pictures.
TEST_P(Frames, InPlaceAndCopyShareOneHistory) {
  std::vector<Frame> inputs;
  for (std::uint32_t s = 0; s < 4; ++s) inputs.push_back(patternFrame(kW, kH, 4, s + 10));
  Instance inPlace(plugin(), kW, kH, FF_DEPTH_32), copied(plugin(), kW, kH, FF_DEPTH_32),
      mixed(plugin(), kW, kH, FF_DEPTH_32);
  ASSERT_TRUE(inPlace.ok() && copied.ok() && mixed.ok());
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    Frame a = inputs[i];
    ASSERT_EQ(inPlace.process(a.data()), FF_SUCCESS);
    ASSERT_NE(a, inputs[i]);

    Frame in = inputs[i];
    Frame out = patternFrame(kW, kH, 4, 99);  // whatever the output frame held is overwritten
    ASSERT_EQ(copied.copy(in.data(), out.data()), FF_SUCCESS);
    EXPECT_EQ(out, a) << "frame " << i;
    EXPECT_EQ(in, inputs[i]) << "the copy's input frame is left as it was";

    Frame m = inputs[i], mOut(m.size());
    if (i % 2 == 0) {
      ASSERT_EQ(mixed.process(m.data()), FF_SUCCESS);
    } else {
      ASSERT_EQ(mixed.copy(m.data(), mOut.data()), FF_SUCCESS);
      m = mOut;
    }
    EXPECT_EQ(m, a) << "frame " << i;
  }
}

// An output frame that starts a few bytes before or after the input, inside one buffer: the
// whole output still arrives as the in-place call makes it, though writing it overwrites input
// bytes not yet read.
TEST_P(Frames, CopyIntoAnOverlappingFrameDeliversTheWholeOutput) {
  const Frame input = patternFrame(kW, kH, 4, 21);
  const Frame expected = referenceOutputs(plugin(), FF_DEPTH_32, {input})[0];
  constexpr std::ptrdiff_t kMargin = 64;
  for (std::ptrdiff_t shift : {-4, 4, 60}) {
    SCOPED_TRACE("output at input + " + std::to_string(shift));
    Instance inst(plugin(), kW, kH, FF_DEPTH_32);
    ASSERT_TRUE(inst.ok());
    Frame buffer(input.size() + 2 * kMargin, 0);
    std::copy(input.begin(), input.end(), buffer.begin() + kMargin);
    std::uint8_t* out = buffer.data() + kMargin + shift;
    ASSERT_EQ(inst.copy(buffer.data() + kMargin, out), FF_SUCCESS);
    EXPECT_EQ(Frame(out, out + input.size()), expected);
  }
}

TEST_P(Frames, CopyUsesOnlyTheFirstOfSeveralInputs) {
  const std::vector<Frame> inputs = {patternFrame(kW, kH, 3, 5), patternFrame(kW, kH, 3, 6)};
  const std::vector<Frame> reference = referenceOutputs(plugin(), FF_DEPTH_24, inputs);
  Instance inst(plugin(), kW, kH, FF_DEPTH_24);
  ASSERT_TRUE(inst.ok());
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    Frame first = inputs[i], other1 = patternFrame(kW, kH, 3, 70), other2 = patternFrame(kW, kH, 3, 71);
    Frame out(first.size());
    void* frames[3] = {first.data(), other1.data(), other2.data()};
    ProcessFrameCopyStruct copy{3, frames, out.data()};
    ASSERT_EQ(answer32(call(plugin(), FF_PROCESSFRAMECOPY, &copy, inst.id())), FF_SUCCESS);
    EXPECT_EQ(out, reference[i]) << "frame " << i;
  }
}

TEST_P(Frames, OrientationDoesNotChangeTheOutput) {
  Instance up(plugin(), kW, kH, FF_DEPTH_32, 1), down(plugin(), kW, kH, FF_DEPTH_32, 2);
  ASSERT_TRUE(up.ok() && down.ok());
  for (std::uint32_t s = 0; s < 3; ++s) {
    Frame a = patternFrame(kW, kH, 4, 20 + s), b = a;
    ASSERT_EQ(up.process(a.data()), FF_SUCCESS);
    ASSERT_EQ(down.process(b.data()), FF_SUCCESS);
    EXPECT_EQ(a, b) << "frame " << s;
  }
}

INSTANTIATE_TEST_SUITE_P(AllPlugins, Frames, ::testing::ValuesIn(kPlugins), caseName);

// Eight-parameter plug-ins, "Ang Mul" 0: every angle code times 0 selects direction entry 0,
// (65536, 0), that is 4 rows and 0 columns, so each pixel fetches its feedback from the pixel four
// rows further on in memory (the last four rows from the last pixel, by the clamp of the linear
// index), whatever the table, the quad and the orbit do. "Blend" 0 gives c = 256, where the output
// is the feedback pixel itself. A first frame at "Blend" 1 (c = 128) leaves floor(A / 2) of every
// input byte A (the blend with black), so the second frame must be, per byte,
//   out2[p] = floor(in1[min(p + 4W, WH - 1)] / 2), independent of the second input.
class AngleFamily : public Frames {};

TEST_P(AngleFamily, AngMulZeroFetchesFourRowsOn) {
  Instance inst(plugin(), kW, kH, FF_DEPTH_32);
  ASSERT_TRUE(inst.ok());
  const Frame in1 = patternFrame(kW, kH, 4, 31);
  Frame f = in1;
  ASSERT_EQ(inst.set(kBlend, 1.0f), FF_SUCCESS);
  ASSERT_EQ(inst.process(f.data()), FF_SUCCESS);
  for (std::size_t i = 0; i < f.size(); ++i) ASSERT_EQ(f[i], in1[i] / 2) << "byte " << i;

  ASSERT_EQ(inst.set(kBlend, 0.0f), FF_SUCCESS);
  ASSERT_EQ(inst.set(kAngMul, 0.0f), FF_SUCCESS);
  f = patternFrame(kW, kH, 4, 32);
  ASSERT_EQ(inst.process(f.data()), FF_SUCCESS);
  const std::size_t last = kW * kH - 1;
  for (std::size_t p = 0; p <= last; ++p) {
    const std::size_t src = std::min(p + 4 * kW, last);
    for (std::size_t k = 0; k < 4; ++k)
      ASSERT_EQ(f[p * 4 + k], in1[src * 4 + k] / 2) << "pixel " << p << " byte " << k;
  }
}

INSTANTIATE_TEST_SUITE_P(FamilyB, AngleFamily,
                         ::testing::Values(pluginCase("OxaFGGralden1"), pluginCase("OxaFGLumbra1"),
                                           pluginCase("OxaFGSolvane1")), caseName);

// Orvial's quad never turns. With every "Scale XY" at 0.495 each corner scale is exactly
// 0.495 * 2 - 0.99 + 1 = 1, so the walk steps one table cell per pixel and pixel (r, c) of a
// 16 x 8 frame reads table cell (8 + c, 4 + r), i.e. u = (c - 8) / 16, v = (r - 4) / 16 from the
// table centre. The cell is (dx, dy) = trunc(3.5 * m * (sin, cos) atan2(u, v)) with
// t = 0.2 / (sqrt(u^2 + v^2) + 0.0001) + 1.5 and m = -3 / (sqrt(2 t^2) + 0.0001), pointing toward
// the centre. Worked out in double precision (Python), for the pixels checked below:
//   (0, 0):  u -0.5,    v -0.25   -> (3.57, 1.79)      -> dx 3, dy 1   -> source (1, 3)
//   (4, 8):  the centre           -> (0, -0.0037)      -> 0            -> source (4, 8)
//   (4, 9):  u 0.0625,  v 0       -> (-1.58, ~0)       -> dx -1        -> source (4, 8)
//   (4, 12): u 0.25,    v 0       -> (-3.23, ~0)       -> dx -3        -> source (4, 9)
//   (7, 15): u 0.4375,  v 0.1875  -> (-3.55, -1.52)    -> dx -3, dy -1 -> source (6, 12)
//   (2, 5):  u -0.1875, v -0.125  -> (2.59, 1.73)      -> dx 2, dy 1   -> source (3, 7)
// Frame 1 at "Blend" 1 (c = 127) blends in1 with black; frame 2 at the default 0.12 (c = 239)
// blends in2 with the frame-1 output at the source pixel, out = A + floor((B - A) * c / 256).
// Inputs: in1(r, c) = (16c, 32r, 255 - 8c, 200), in2(r, c) = (40, 255 - 16c, 30r, 0).
TEST(OrvialStillQuad, SecondFrameFetchesFromTheTableDisplacement) {
  PluginHandle p("OxaFGOrvial1");
  ASSERT_TRUE(p.loaded());
  Instance inst(p, kW, kH, FF_DEPTH_32);
  ASSERT_TRUE(inst.ok());
  auto frameOf = [](auto pixel) {
    Frame f(kW * kH * 4);
    for (FFUInt32 r = 0; r < kH; ++r)
      for (FFUInt32 c = 0; c < kW; ++c) {
        const auto px = pixel(r, c);
        std::copy(px.begin(), px.end(), f.begin() + (r * kW + c) * 4);
      }
    return f;
  };
  using Px = std::array<std::uint8_t, 4>;
  Frame f = frameOf([](FFUInt32 r, FFUInt32 c) {
    return Px{std::uint8_t(16 * c), std::uint8_t(32 * r), std::uint8_t(255 - 8 * c), 200};
  });
  for (FFUInt32 k = 0; k < 4; ++k) ASSERT_EQ(inst.set(kScaleXY1 + k, 0.495f), FF_SUCCESS);
  ASSERT_EQ(inst.set(kBlend, 1.0f), FF_SUCCESS);
  ASSERT_EQ(inst.process(f.data()), FF_SUCCESS);
  ASSERT_EQ(inst.set(kBlend, 0.12f), FF_SUCCESS);
  f = frameOf([](FFUInt32 r, FFUInt32 c) {
    return Px{40, std::uint8_t(255 - 16 * c), std::uint8_t(30 * r), 0};
  });
  ASSERT_EQ(inst.process(f.data()), FF_SUCCESS);
  struct Expected {
    FFUInt32 r, c;
    Px bytes;
  };
  const Expected expected[] = {{0, 0, {25, 31, 108, 93}}, {4, 8, {62, 68, 97, 93}},
                               {4, 9, {62, 67, 97, 93}},  {4, 12, {69, 63, 93, 93}},
                               {7, 15, {92, 90, 88, 93}}, {2, 5, {54, 56, 97, 93}}};
  for (const Expected& e : expected) {
    const std::size_t at = (e.r * kW + e.c) * 4;
    EXPECT_EQ((Px{f[at], f[at + 1], f[at + 2], f[at + 3]}), e.bytes)
        << "pixel (" << e.r << ", " << e.c << ")";
  }
}

}  // namespace
}  // namespace fluxgrain::test
