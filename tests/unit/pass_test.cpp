// The feedback pass: which table cell each pixel reads along the walk, the clamps of the table and
// source indices, the per-byte blend, and the angle-code displacements of the eight-parameter
// plug-ins.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <ostream>
#include <string>
#include <vector>

#include "effects/effects.h"
#include "engine/dirTable.h"
#include "engine/feedbackPass.h"
#include "engine/motion.h"

namespace fluxgrain {
namespace {

// Failure messages name a table case instead of dumping its bytes.
template <class Case>
  requires requires(const Case& c) { c.name; }
void PrintTo(const Case& c, std::ostream* os) {
  *os << c.name;
}

constexpr std::uint8_t kGuardByte = 0xCD;
constexpr int kGuard = 8;
constexpr std::uint8_t kTag2 = 0x5A, kTag3 = 0xA5;

// A seven-parameter profile whose blend at "Blend" 0 is c = 256: the output is then exactly the
// fetched feedback pixel, so the fetch itself becomes visible.
EngineProfile echoProfile(std::int32_t tableFactor) {
  EngineProfile p = displacementProfile(tableFactor, false, false);
  p.fBlendScale = 256.0;
  return p;
}

WarpQuad still(std::int32_t x, std::int32_t y) {
  WarpQuad q{};
  q.fStartX = x;
  q.fStartY = y;
  return q;
}

// One instance's worth of buffers for a pass run by hand. Input and feedback have their exact
// frame size (the sanitizer build catches any read past them); the output carries guard bytes
// that must survive.
struct PassRig {
  std::int32_t fW, fH, fBpp;
  EngineProfile fProfile;
  std::vector<std::int32_t> fTable;
  std::vector<std::uint8_t> fInput, fFeedback, fOutput;
  PlugObj fObj{};

  PassRig(std::int32_t w, std::int32_t h, std::int32_t bpp, const EngineProfile& profile)
      : fW(w),
        fH(h),
        fBpp(bpp),
        fProfile(profile),
        fTable(std::size_t(profile.fTableFactor * profile.fTableFactor * w * h), 0),
        fInput(std::size_t(bpp * w * h), 0x33),
        fFeedback(std::size_t(bpp * w * h), 0),
        fOutput(std::size_t(bpp * w * h + kGuard), kGuardByte) {
    fObj.fWidth = w;
    fObj.fHeight = h;
    fObj.fParams[kBlend].fValue = 0.0f;
  }

  // Feedback pixel q carries its own index in bytes 0 and 1 and fixed tags in bytes 2 and 3.
  void tagFeedback() {
    for (std::int32_t q = 0; q < fW * fH; ++q) {
      std::uint8_t* px = &fFeedback[std::size_t(q * fBpp)];
      px[0] = std::uint8_t(q & 0xFF);
      px[1] = std::uint8_t(q >> 8);
      px[2] = kTag2;
      if (fBpp == 4) px[3] = kTag3;
    }
  }

  void run(const WarpQuad& quad) {
    fObj.fWaveTable = fTable.data();
    fObj.fFeedback = fFeedback.data();
    fObj.fLastOutput = fOutput.data();
    const FrameSlot slot{kSlotImage, fBpp, fInput.data(), fW, fH, nullptr, 0, 0};
    runFeedbackPass(fObj, quad, fProfile, slot);
    for (int i = 0; i < kGuard; ++i)
      ASSERT_EQ(fOutput[std::size_t(fBpp * fW * fH + i)], kGuardByte) << "guard byte " << i;
  }

  // With c = 256 and tagged feedback: the index of the feedback pixel that output pixel p took,
  // or -1 if its bytes are not one whole feedback pixel.
  int sourceOf(std::int32_t p) const {
    const std::uint8_t* px = &fOutput[std::size_t(p * fBpp)];
    if (px[2] != kTag2 || (fBpp == 4 && px[3] != kTag3)) return -1;
    return px[0] | (px[1] << 8);
  }

  std::vector<int> sources() const {
    std::vector<int> s;
    for (std::int32_t p = 0; p < fW * fH; ++p) s.push_back(sourceOf(p));
    return s;
  }
};

// The table cell each pixel reads under `quad`: one pass per cell, with that cell sending the
// pixel to the last feedback pixel and every other cell to pixel 0. -1: no cell, -2: several.
std::vector<int> cellsRead(std::int32_t k, std::int32_t w, std::int32_t h, const WarpQuad& quad) {
  PassRig rig(w, h, 4, echoProfile(k));
  rig.tagFeedback();
  const int last = w * h - 1;
  std::vector<int> cell(std::size_t(w * h), -1);
  for (std::size_t marked = 0; marked < rig.fTable.size(); ++marked) {
    std::fill(rig.fTable.begin(), rig.fTable.end(), -(1 << 30));
    rig.fTable[marked] = 1 << 30;
    rig.run(quad);
    for (int p = 0; p < w * h; ++p) {
      const int src = rig.sourceOf(p);
      EXPECT_TRUE(src == 0 || src == last) << "pixel " << p << " took " << src;
      int& seen = cell[std::size_t(p)];
      if (src == last && last > 0) seen = seen == -1 ? int(marked) : -2;
    }
  }
  return cell;
}

WarpQuad makeQuad(const std::int32_t (&start)[2], const std::int32_t (&top)[2],
                  const std::int32_t (&bottom)[2], const std::int32_t (&left)[2],
                  const std::int32_t (&right)[2]) {
  WarpQuad q{};
  q.fStartX = start[0];
  q.fStartY = start[1];
  q.fTopStepX = top[0];
  q.fTopStepY = top[1];
  q.fBottomStepX = bottom[0];
  q.fBottomStepY = bottom[1];
  q.fLeftStepX = left[0];
  q.fLeftStepY = left[1];
  q.fRightStepX = right[0];
  q.fRightStepY = right[1];
  return q;
}

struct WalkCase {
  const char* name;
  std::int32_t k, w, h;
  std::int32_t start[2], top[2], bottom[2], left[2], right[2];
  std::vector<int> cells;
};

class Walk : public ::testing::TestWithParam<WalkCase> {};

TEST_P(Walk, VisitsExpectedCells) {
  const WalkCase& c = GetParam();
  EXPECT_EQ(cellsRead(c.k, c.w, c.h, makeQuad(c.start, c.top, c.bottom, c.left, c.right)), c.cells);
}

INSTANTIATE_TEST_SUITE_P(
    Pass, Walk,
    ::testing::Values(
        // Orvial geometry for corner parameters 0, 0.4, 1, 0.5 on a 4 x 2 frame. The second y step
        // of row 0 is -89 / 4 = -22 (toward zero).
        WalkCase{"Worked4x2", 2, 4, 2, {1018, 509}, {104, -51}, {386, 64}, {-256, 130}, {307, 360},
                 {11, 12, 13, 14, 18, 19, 20, 21}},
        // Column steps -1/4, -2/4 and row-interpolated steps -1/2 all truncate to 0 and keep the
        // walk on table rows 2 and 3; rounding down would drop it into rows 1 and 2.
        WalkCase{"DivisionsTruncateTowardZero", 2, 4, 2, {0, 512}, {256, 0}, {256, -1}, {0, 256},
                 {0, 256}, {16, 17, 18, 19, 24, 25, 26, 27}},
        // A four-fold table is K*W = 8 cells wide.
        WalkCase{"TableFactorFour", 4, 2, 2, {256, 768}, {256, 0}, {256, 0}, {0, 256}, {0, 256},
                 {25, 26, 33, 34}},
        WalkCase{"SingleColumn", 2, 1, 3, {256, 256}, {0, 0}, {0, 0}, {0, 256}, {0, 256},
                 {3, 5, 7}},
        WalkCase{"SingleRow", 2, 3, 1, {256, 0}, {256, 0}, {256, 0}, {0, 0}, {0, 0}, {1, 2, 3}}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

struct CellClampCase {
  const char* name;
  std::int32_t k, w, h, x, y;  // position of every pixel (zero steps)
  int cell;
};

class CellClamp : public ::testing::TestWithParam<CellClampCase> {};

TEST_P(CellClamp, ClampsLinearIndex) {
  const CellClampCase& c = GetParam();
  EXPECT_EQ(cellsRead(c.k, c.w, c.h, still(c.x, c.y)),
            std::vector<int>(std::size_t(c.w * c.h), c.cell));
}

// Table 8 x 4 cells (K = 2, W = 4, H = 2), or 8 x 8 (K = 4, W = H = 2).
INSTANTIATE_TEST_SUITE_P(
    Pass, CellClamp,
    ::testing::Values(CellClampCase{"AboveTable", 2, 4, 2, 3 * 256, -256, 0},
                      // y = -1/256 is table row -1 (the shift rounds down), not row 0.
                      CellClampCase{"JustAboveTable", 2, 4, 2, 3 * 256, -1, 0},
                      CellClampCase{"BelowLastRow", 2, 4, 2, 2 * 256, 4 * 256, 31},
                      CellClampCase{"FarBelow", 2, 4, 2, 0, 1000 * 256, 31},
                      CellClampCase{"LeftOfRow2", 2, 4, 2, -256, 2 * 256, 15},
                      CellClampCase{"HalfCellLeftOfRow2", 2, 4, 2, -128, 2 * 256, 15},
                      CellClampCase{"RightOfRow1", 2, 4, 2, 8 * 256, 1 * 256, 16},
                      CellClampCase{"Inside", 2, 4, 2, 5 * 256 + 255, 2 * 256 + 255, 21},
                      CellClampCase{"FourFoldBelow", 4, 2, 2, 256, 8 * 256, 63},
                      CellClampCase{"FourFoldRightOfRow0", 4, 2, 2, 9 * 256, 0, 9}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

struct SourceCase {
  const char* name;
  std::int32_t displacement;  // in every cell; frame 4 x 2
  std::vector<int> sources;
};

class SourceClamp : public ::testing::TestWithParam<SourceCase> {};

TEST_P(SourceClamp, ClampsLinearIndexInBothPixelSizes) {
  const SourceCase& c = GetParam();
  for (std::int32_t bpp : {3, 4}) {
    SCOPED_TRACE("bpp " + std::to_string(bpp));
    PassRig rig(4, 2, bpp, echoProfile(2));
    rig.tagFeedback();
    std::fill(rig.fTable.begin(), rig.fTable.end(), c.displacement);
    rig.run(still(3 * 256, 1 * 256));
    EXPECT_EQ(rig.sources(), c.sources);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Pass, SourceClamp,
    ::testing::Values(SourceCase{"Zero", 0, {0, 1, 2, 3, 4, 5, 6, 7}},
                      // Past the end of row 0 continues in row 1.
                      SourceCase{"OneRight", 1, {1, 2, 3, 4, 5, 6, 7, 7}},
                      SourceCase{"OneRowUp", -4, {0, 0, 0, 0, 0, 1, 2, 3}},
                      SourceCase{"BeforePixel0", -5, {0, 0, 0, 0, 0, 0, 1, 2}},
                      SourceCase{"PastTheEnd", 5, {5, 6, 7, 7, 7, 7, 7, 7}},
                      SourceCase{"Int32Min", INT32_MIN, {0, 0, 0, 0, 0, 0, 0, 0}},
                      SourceCase{"Huge", 1 << 30, {7, 7, 7, 7, 7, 7, 7, 7}}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

struct BlendCase {
  const char* name;
  EngineProfile profile;
  float blend;
  std::uint8_t a[4], b[4], out[4];  // input, feedback, result bytes of one pixel
};

class Blend : public ::testing::TestWithParam<BlendCase> {};

// The fourth byte is the alpha of a 32-bit pixel; a 24-bit frame uses only the first three and
// must not write past them.
TEST_P(Blend, PerByteRule) {
  const BlendCase& c = GetParam();
  for (std::int32_t bpp : {3, 4}) {
    SCOPED_TRACE("bpp " + std::to_string(bpp));
    PassRig rig(2, 1, bpp, c.profile);
    rig.fObj.fParams[kBlend].fValue = c.blend;
    for (int p = 0; p < 2; ++p)
      for (int k = 0; k < bpp; ++k) {
        rig.fInput[std::size_t(p * bpp + k)] = c.a[k];
        rig.fFeedback[std::size_t(p * bpp + k)] = c.b[k];
      }
    rig.run(still(2 * 256, 1 * 256));
    for (int p = 0; p < 2; ++p)
      for (int k = 0; k < bpp; ++k)
        EXPECT_EQ(int(rig.fOutput[std::size_t(p * bpp + k)]), int(c.out[k]))
            << "pixel " << p << " byte " << k;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Pass, Blend,
    ::testing::Values(
        // c = 239: black history, then rounding toward minus infinity in both directions.
        BlendCase{"Default", kOrvial.fProfile, 0.12f, {255, 200, 100, 200}, {0, 0, 200, 100},
                  {16, 13, 193, 106}},
        // c = 255: equal bytes stay equal.
        BlendCase{"BlendZero", kOrvial.fProfile, 0.0f, {0, 255, 77, 1}, {255, 0, 77, 0},
                  {254, 0, 77, 0}},
        // c = 127.
        BlendCase{"BlendOne", kPellum.fProfile, 1.0f, {0, 255, 9, 9}, {255, 0, 9, 10},
                  {126, 128, 9, 9}},
        // c = 256: the feedback pixel itself.
        BlendCase{"FullWeight", echoProfile(2), 0.0f, {10, 250, 0, 255}, {250, 3, 255, 0},
                  {250, 3, 255, 0}}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

struct WeightCase {
  const char* name;
  const EngineProfile* profile;
  float blend;
  std::int32_t weight;
};

class Weight : public ::testing::TestWithParam<WeightCase> {};

TEST_P(Weight, FromBlend) {
  const WeightCase& c = GetParam();
  PlugObj obj{};
  obj.fParams[kBlend].fValue = c.blend;
  EXPECT_EQ(blendWeight(obj, *c.profile), c.weight);
}

INSTANTIATE_TEST_SUITE_P(
    Pass, Weight,
    ::testing::Values(WeightCase{"Scale255Blend0", &kOrvial.fProfile, 0.0f, 255},
                      WeightCase{"Scale255Default", &kPellum.fProfile, 0.12f, 239},
                      WeightCase{"Scale255Half", &kCaldor.fProfile, 0.5f, 191},
                      WeightCase{"Scale255Blend1", &kZentrik.fProfile, 1.0f, 127},
                      WeightCase{"Scale256Blend0", &kGralden.fProfile, 0.0f, 256},
                      WeightCase{"Scale256Default", &kLumbra.fProfile, 0.28f, 220},
                      WeightCase{"Scale256Blend1", &kSolvane.fProfile, 1.0f, 128}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

// With a WaveTable of zeros every pixel echoes the same pixel of the history, whatever the quad,
// also when the walk divides by a width or height of 1.
TEST(Pass, ZeroTableEchoesSamePixelAtAnySize) {
  const std::int32_t sizes[][2] = {{1, 1}, {1, 5}, {5, 1}, {3, 7}};
  for (const auto& size : sizes) {
    const std::int32_t w = size[0], h = size[1];
    SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
    PassRig rig(w, h, 4, kPellum.fProfile);
    for (int k = 0; k < kMaxParams; ++k)
      rig.fObj.fParams[k].fValue = kPellum.fParamTable[k].fDefault;
    for (double& offset : rig.fObj.fCornerOffset) offset = 1.0;
    for (std::size_t i = 0; i < rig.fInput.size(); ++i) {
      rig.fInput[i] = std::uint8_t(i * 37 + 11);
      rig.fFeedback[i] = std::uint8_t(i * 101 + 3);
    }
    advancePhases(rig.fObj, kPellum.fProfile);
    rig.run(computeWarpQuad(rig.fObj, kPellum.fProfile));
    for (std::size_t i = 0; i < rig.fInput.size(); ++i) {
      const int a = rig.fInput[i], b = rig.fFeedback[i];
      const int expected = a + int(std::floor((b - a) * 239 / 256.0));
      ASSERT_EQ(int(rig.fOutput[i]), expected) << "byte " << i;
    }
  }
}

// Family B: angle codes through "Ang Mul" and the direction table.

struct AngleRig {
  PassRig fRig;
  std::vector<DirEntry> fDirs = std::vector<DirEntry>(kDirEntries, DirEntry{0, 0});

  AngleRig(std::int32_t w, std::int32_t h, const EngineProfile& profile, float angMul)
      : fRig(w, h, 4, profile) {
    fRig.fObj.fParams[kAngMul].fValue = angMul;
    fRig.fObj.fDirTable = fDirs.data();
    fRig.tagFeedback();
  }
};

std::vector<int> shifted(std::int32_t w, std::int32_t h, std::int32_t dRow, std::int32_t dCol) {
  std::vector<int> s;
  for (std::int32_t p = 0; p < w * h; ++p)
    s.push_back(std::clamp(p + dRow * w + dCol, 0, w * h - 1));
  return s;
}

// "Ang Mul" 0 makes every code select entry 0, (65536, 0): four rows on, the last four rows
// clamped to the last pixel. Checked with each plug-in's own direction table.
TEST(AnglePass, AngMulZeroTakesFeedbackFourRowsOn) {
  for (const PluginDef* def : {&kGralden, &kLumbra, &kSolvane}) {
    SCOPED_TRACE(def->fName);
    PassRig rig(3, 6, 4, def->fProfile);
    rig.tagFeedback();
    for (std::size_t i = 0; i < rig.fTable.size(); ++i)
      rig.fTable[i] = std::int32_t(i * 2731 % 65536);
    for (int k = 0; k < kMaxParams; ++k) rig.fObj.fParams[k].fValue = def->fParamTable[k].fDefault;
    for (double& offset : rig.fObj.fCornerOffset) offset = 1.0;
    rig.fObj.fParams[kBlend].fValue = 0.0f;
    rig.fObj.fParams[kAngMul].fValue = 0.0f;
    ASSERT_TRUE(buildDirTable(rig.fObj));
    advancePhases(rig.fObj, def->fProfile);
    rig.run(computeWarpQuad(rig.fObj, def->fProfile));
    std::free(rig.fObj.fDirTable);
    EXPECT_EQ(rig.sources(), (std::vector<int>{12, 13, 14, 15, 16, 17, 17, 17, 17, 17, 17, 17,
                                               17, 17, 17, 17, 17, 17}));
  }
}

struct EntryCase {
  const char* name;
  const EngineProfile* profile;
  float angMul;
  std::int32_t code;
  std::int32_t entry;  // ((code * AM) >> 8) & mask
};

class EntrySelection : public ::testing::TestWithParam<EntryCase> {};

TEST_P(EntrySelection, ScalesAndMasksCode) {
  const EntryCase& c = GetParam();
  AngleRig a(3, 6, *c.profile, c.angMul);
  a.fDirs[std::size_t(c.entry)] = {65536, 0};  // only the expected entry moves the pixel
  std::fill(a.fRig.fTable.begin(), a.fRig.fTable.end(), c.code);
  a.fRig.run(still(256, 256));
  EXPECT_EQ(a.fRig.sources(), shifted(3, 6, 4, 0));
}

INSTANTIATE_TEST_SUITE_P(
    AnglePass, EntrySelection,
    ::testing::Values(EntryCase{"SolvaneAm256", &kSolvane.fProfile, 0.5f, 1000, 1000},
                      EntryCase{"SolvaneDefault", &kSolvane.fProfile, 0.2f, 54452, 21695},
                      EntryCase{"GraldenDefault", &kGralden.fProfile, 0.2f, 16384, 6528},
                      // AM 512: code 16384 + 100 lands on the same entry as code 100.
                      EntryCase{"GraldenMask", &kGralden.fProfile, 1.0f, 16484, 200},
                      EntryCase{"LumbraAm2048", &kLumbra.fProfile, 1.0f, 40000, 57856},
                      EntryCase{"LumbraDefault", &kLumbra.fProfile, 0.2f, 65535, 39166}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

struct ShiftCase {
  const char* name;
  std::int32_t cosine, sine;  // the selected entry
  std::int32_t dRow, dCol;
};

class ComponentShift : public ::testing::TestWithParam<ShiftCase> {};

// Components become whole pixels by an arithmetic shift by 14: toward minus infinity, so -4 is
// reached by a whole range of negative values but +4 only by exactly 65536.
TEST_P(ComponentShift, RoundsDown) {
  const ShiftCase& c = GetParam();
  AngleRig a(9, 9, kSolvane.fProfile, 0.5f);  // AM 256: code 1000 selects entry 1000
  a.fDirs[1000] = {c.cosine, c.sine};
  std::fill(a.fRig.fTable.begin(), a.fRig.fTable.end(), 1000);
  a.fRig.run(still(256, 256));
  EXPECT_EQ(a.fRig.sources(), shifted(9, 9, c.dRow, c.dCol));
}

INSTANTIATE_TEST_SUITE_P(AnglePass, ComponentShift,
                         ::testing::Values(ShiftCase{"Full", 65536, 0, 4, 0},
                                           ShiftCase{"JustBelowFull", 65535, 16384, 3, 1},
                                           ShiftCase{"BelowOne", 16383, 32767, 0, 1},
                                           ShiftCase{"MinusOne", -1, -6, -1, -1},
                                           ShiftCase{"SmallPositive", 6, -16384, 0, -1},
                                           ShiftCase{"MinusOneAndABit", -16385, 65535, -2, 3},
                                           ShiftCase{"MostNegative", -65536, -49153, -4, -4}),
                         [](const auto& testInfo) { return std::string(testInfo.param.name); });

}  // namespace
}  // namespace fluxgrain
