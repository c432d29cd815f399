// The eight WaveTables: worked cells at 320 x 240, what any cell may hold, empty, tiny and odd
// frame sizes, and independence from parameters and from the number of threads.
#include <gtest/gtest.h>
#include <omp.h>

#include <cmath>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "effects/effects.h"

namespace fluxgrain {
namespace {

// One plug-in's builder and what its cells may hold.
struct Effect {
  const char* fName;
  const PluginDef* fDef;
  TableBuilder fBuild;
  std::int32_t fK;              // the table is K*W x K*H cells
  double fAmplitude;            // bound on the displacement's length; 0 for tables of angle codes
  std::int32_t fOriginDivisor;  // the pattern's origin is the cell (W / d, H / d)
  std::int32_t (*fOriginValue)(std::int32_t w);  // the value of that cell
  bool angleCodes() const { return fAmplitude == 0.0; }
};

const Effect kPellumFx{
    "Pellum", &kPellum, buildPellumTable, 2, 3.5, 1, [](std::int32_t w) { return 2 * w + 2; }};
const Effect kCaldorFx{
    "Caldor", &kCaldor, buildCaldorTable, 2, 2.5, 1, [](std::int32_t w) { return 2 * w; }};
const Effect kFennixFx{
    "Fennix", &kFennix, buildFennixTable, 4, 5.5, 2, [](std::int32_t w) { return 5 * w; }};
// Orvial's length factor tends to 3.5 * 3 / (1.5 * sqrt 2 + 0.0001) = 4.94953 far out.
const Effect kOrvialFx{
    "Orvial", &kOrvial, buildOrvialTable, 2, 4.9496, 1, [](std::int32_t) { return 0; }};
const Effect kZentrikFx{
    "Zentrik", &kZentrik, buildZentrikTable, 2, 3.5, 1, [](std::int32_t w) { return 2 * w + 2; }};
const Effect kGraldenFx{
    "Gralden", &kGralden, buildGraldenTable, 2, 0.0, 1, [](std::int32_t) { return 16384; }};
const Effect kLumbraFx{
    "Lumbra", &kLumbra, buildLumbraTable, 4, 0.0, 2, [](std::int32_t) { return 0; }};
const Effect kSolvaneFx{
    "Solvane", &kSolvane, buildSolvaneTable, 2, 0.0, 1, [](std::int32_t) { return 16384; }};

const Effect* const kEffects[] = {&kPellumFx, &kCaldorFx,  &kFennixFx, &kGraldenFx,
                                  &kOrvialFx, &kZentrikFx, &kLumbraFx, &kSolvaneFx};

// A built table, copied out of the instance so that the instance's blocks can be freed at once.
struct Table {
  std::int32_t fWidth = 0, fHeight = 0, fK = 0;
  bool fBuilt = false;
  bool fHasDirTable = false;
  std::vector<std::int32_t> fCells;
  std::int32_t cols() const { return fK * fWidth; }
  std::int32_t rows() const { return fK * fHeight; }
  std::int32_t at(std::int32_t i, std::int32_t j) const {
    return fCells[std::size_t(j) * std::size_t(cols()) + std::size_t(i)];
  }
};

Table build(const Effect& e, std::int32_t w, std::int32_t h, float paramValue = 0.5f) {
  PlugObj obj{};
  obj.fWidth = w;
  obj.fHeight = h;
  for (ParamRec& p : obj.fParams) p.fValue = paramValue;
  Table t;
  t.fWidth = w;
  t.fHeight = h;
  t.fK = e.fK;
  t.fBuilt = e.fBuild(obj);
  t.fHasDirTable = obj.fDirTable != nullptr;
  if (t.fBuilt && obj.fWaveTable != nullptr) {
    t.fCells.assign(obj.fWaveTable, obj.fWaveTable + std::size_t(t.cols()) * std::size_t(t.rows()));
  }
  std::free(obj.fWaveTable);
  std::free(obj.fDirTable);
  return t;
}

// The 320 x 240 tables, built once per effect for all the tests that read them.
const Table& table320(const Effect& e) {
  static std::map<const Effect*, Table> cache;
  auto it = cache.find(&e);
  if (it == cache.end()) it = cache.emplace(&e, build(e, 320, 240)).first;
  return it->second;
}

// Sets the OpenMP team size for one scope.
class ThreadCount {
 public:
  explicit ThreadCount(int n) : fSaved(omp_get_max_threads()) { omp_set_num_threads(n); }
  ~ThreadCount() { omp_set_num_threads(fSaved); }
  ThreadCount(const ThreadCount&) = delete;
  ThreadCount& operator=(const ThreadCount&) = delete;

 private:
  int fSaved;
};

int teamSize() {
  int n = 0;
#pragma omp parallel
  {
#pragma omp single
    n = omp_get_num_threads();
  }
  return n;
}

// Checks every cell against what the effect can produce: an angle code in 0..65535, or a
// displacement dx + W*dy no longer than the effect's amplitude and zero only where the pattern's
// origin value is zero. Reports the number of bad cells and the first one.
void expectCellsPlausible(const Effect& e, const Table& t) {
  const std::int32_t w = t.fWidth;
  const std::int32_t reach = std::int32_t(e.fAmplitude);  // longest component after truncation
  const std::int32_t oi = w / e.fOriginDivisor, oj = t.fHeight / e.fOriginDivisor;
  // dx and dy can be told apart only when the row step W exceeds the span of dx.
  const bool separable = w > 2 * reach;
  std::size_t bad = 0;
  std::int32_t firstI = 0, firstJ = 0, firstV = 0;
  for (std::int32_t j = 0; j < t.rows(); ++j) {
    for (std::int32_t i = 0; i < t.cols(); ++i) {
      const std::int32_t v = t.at(i, j);
      bool ok;
      if (e.angleCodes()) {
        ok = v >= 0 && v <= 65535;
      } else if (separable) {
        const std::int32_t dy = std::int32_t(std::lround(double(v) / w));
        const std::int32_t dx = v - dy * w;
        const bool zeroAllowed = i == oi && j == oj && e.fOriginValue(w) == 0;
        ok = double(dx * dx + dy * dy) <= e.fAmplitude * e.fAmplitude && (v != 0 || zeroAllowed);
      } else {
        ok = std::abs(v) <= reach * w + reach;
      }
      if (!ok && bad++ == 0) {
        firstI = i;
        firstJ = j;
        firstV = v;
      }
    }
  }
  EXPECT_EQ(bad, 0u) << e.fName << " " << w << "x" << t.fHeight << ", first bad cell (" << firstI
                     << ", " << firstJ << ") = " << firstV;
}

std::string effectName(const ::testing::TestParamInfo<const Effect*>& info) {
  return info.param->fName;
}

// ---- Worked cells at 320 x 240 ----

struct CellCase {
  const Effect* fEffect;
  std::int32_t fI, fJ;  // column and row in the table
  std::int32_t fExpected;
};

class WaveTableCells : public ::testing::TestWithParam<CellCase> {};

TEST_P(WaveTableCells, MatchWorkedValue) {
  const CellCase& c = GetParam();
  const Table& t = table320(*c.fEffect);
  ASSERT_TRUE(t.fBuilt);
  ASSERT_EQ(t.fCells.size(), std::size_t(t.cols()) * std::size_t(t.rows()));
  EXPECT_EQ(t.at(c.fI, c.fJ), c.fExpected);
}

INSTANTIATE_TEST_SUITE_P(
    At320x240, WaveTableCells,
    ::testing::Values(
        // Centre (2, 2); corners; one cell with a negative row displacement.
        CellCase{&kPellumFx, 320, 240, 642}, CellCase{&kPellumFx, 0, 0, 961},
        CellCase{&kPellumFx, 639, 479, 323}, CellCase{&kPellumFx, 360, 265, -638},
        // Centre: atan2(0, 0) = 0 points straight down; its four neighbours point away from it.
        CellCase{&kCaldorFx, 320, 240, 640}, CellCase{&kCaldorFx, 324, 240, 2},
        CellCase{&kCaldorFx, 320, 244, 640}, CellCase{&kCaldorFx, 316, 240, -2},
        CellCase{&kCaldorFx, 320, 236, -640}, CellCase{&kCaldorFx, 0, 0, -640},
        CellCase{&kCaldorFx, 639, 479, 640},
        // The origin sits at (W/2, H/2), not at the table centre (2W, 2H).
        CellCase{&kFennixFx, 160, 120, 1600}, CellCase{&kFennixFx, 161, 120, 1602},
        CellCase{&kFennixFx, 160, 121, 1601}, CellCase{&kFennixFx, 640, 480, 1600},
        CellCase{&kFennixFx, 0, 0, 1277}, CellCase{&kFennixFx, 320, 240, 1277},
        CellCase{&kFennixFx, 1279, 959, 1282},
        // Centre pi/4; mirror pairs about the centre column and row.
        CellCase{&kGraldenFx, 320, 240, 16384}, CellCase{&kGraldenFx, 340, 240, 54452},
        CellCase{&kGraldenFx, 300, 240, 54452}, CellCase{&kGraldenFx, 320, 260, 43851},
        CellCase{&kGraldenFx, 0, 0, 9228}, CellCase{&kGraldenFx, 360, 265, 18221},
        CellCase{&kGraldenFx, 280, 215, 18221},
        // Only the centre is 0; every other cell points toward it.
        CellCase{&kOrvialFx, 320, 240, 0}, CellCase{&kOrvialFx, 321, 240, -1},
        CellCase{&kOrvialFx, 320, 241, -320}, CellCase{&kOrvialFx, 324, 240, -3},
        CellCase{&kOrvialFx, 320, 244, -960}, CellCase{&kOrvialFx, 316, 240, 3},
        CellCase{&kOrvialFx, 320, 236, 960}, CellCase{&kOrvialFx, 420, 290, -644},
        CellCase{&kOrvialFx, 0, 0, 643}, CellCase{&kOrvialFx, 639, 479, -643},
        // Centre and its neighbours at distance 4 share (2, 2).
        CellCase{&kZentrikFx, 320, 240, 642}, CellCase{&kZentrikFx, 324, 240, 642},
        CellCase{&kZentrikFx, 320, 244, 642}, CellCase{&kZentrikFx, 316, 240, 642},
        CellCase{&kZentrikFx, 320, 236, 642}, CellCase{&kZentrikFx, 420, 290, 638},
        CellCase{&kZentrikFx, 0, 0, -323}, CellCase{&kZentrikFx, 639, 479, 960},
        // Builder's centre (160, 120); -pi/2 and pi wrap onto the codes of pi/2 and 0.
        CellCase{&kLumbraFx, 160, 120, 0}, CellCase{&kLumbraFx, 161, 120, 32768},
        CellCase{&kLumbraFx, 159, 120, 32768}, CellCase{&kLumbraFx, 160, 0, 0},
        CellCase{&kLumbraFx, 160, 121, 0}, CellCase{&kLumbraFx, 640, 480, 19344},
        CellCase{&kLumbraFx, 0, 0, 19344}, CellCase{&kLumbraFx, 1279, 959, 19347},
        // Centre pi/4; no mirror symmetry.
        CellCase{&kSolvaneFx, 320, 240, 16384}, CellCase{&kSolvaneFx, 340, 240, 13959},
        CellCase{&kSolvaneFx, 300, 240, 44550}, CellCase{&kSolvaneFx, 320, 260, 18808},
        CellCase{&kSolvaneFx, 320, 220, 53753}, CellCase{&kSolvaneFx, 0, 0, 25595},
        CellCase{&kSolvaneFx, 639, 479, 65209}),
    [](const ::testing::TestParamInfo<CellCase>& p) {
      const CellCase& c = p.param;
      return std::string(c.fEffect->fName) + "_" + std::to_string(c.fI) + "_" +
             std::to_string(c.fJ);
    });

// ---- Properties of whole tables, per effect ----

class WaveTableOf : public ::testing::TestWithParam<const Effect*> {};

TEST_P(WaveTableOf, RecordNamesThisBuilderAndItsTableFactor) {
  const Effect& e = *GetParam();
  // The pass reads K*W x K*H cells with K from the profile: it must be the size the builder makes.
  EXPECT_EQ(e.fDef->fBuildTable, e.fBuild);
  EXPECT_EQ(e.fDef->fProfile.fTableFactor, e.fK);
  EXPECT_EQ(e.fDef->fProfile.fOrbit, e.angleCodes());
}

TEST_P(WaveTableOf, EveryCellPlausibleAt320x240) {
  const Effect& e = *GetParam();
  const Table& t = table320(e);
  ASSERT_TRUE(t.fBuilt);
  ASSERT_EQ(t.fCells.size(), std::size_t(e.fK * e.fK * 320 * 240));
  // The eight-parameter builders end with the direction table; the others make none.
  EXPECT_EQ(t.fHasDirTable, e.angleCodes());
  expectCellsPlausible(e, t);
}

// Tiny and odd sizes: rows of fewer than 16 cells take the serial path, 8 columns at K = 2 just
// reach the parallel one. Under AddressSanitizer a cell written outside the table traps.
TEST_P(WaveTableOf, TinyAndOddSizes) {
  const Effect& e = *GetParam();
  const std::int32_t sizes[][2] = {{1, 1}, {2, 2}, {3, 1}, {1, 5}, {7, 5}, {8, 6}, {9, 4}};
  for (const auto& size : sizes) {
    const std::int32_t w = size[0], h = size[1];
    SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
    const Table t = build(e, w, h);
    ASSERT_TRUE(t.fBuilt);
    expectCellsPlausible(e, t);
    // The origin is a cell unless it falls between cells (odd W or H with divisor 2).
    if (w % e.fOriginDivisor == 0 && h % e.fOriginDivisor == 0) {
      EXPECT_EQ(t.at(w / e.fOriginDivisor, h / e.fOriginDivisor), e.fOriginValue(w));
    }
  }
}

TEST_P(WaveTableOf, EmptyFrameBuildsWithoutCells) {
  const Effect& e = *GetParam();
  const std::int32_t sizes[][2] = {{0, 240}, {320, 0}, {0, 0}};
  for (const auto& size : sizes) {
    SCOPED_TRACE(std::to_string(size[0]) + "x" + std::to_string(size[1]));
    // The table block is then a stub: any cell written into it traps under AddressSanitizer.
    const Table t = build(e, size[0], size[1]);
    EXPECT_TRUE(t.fBuilt);
    EXPECT_TRUE(t.fCells.empty());
    EXPECT_EQ(t.fHasDirTable, e.angleCodes());
  }
}

TEST_P(WaveTableOf, IgnoresParameterValues) {
  const Effect& e = *GetParam();
  EXPECT_EQ(build(e, 40, 30, 0.0f).fCells, build(e, 40, 30, 1.0f).fCells);
}

INSTANTIATE_TEST_SUITE_P(AllEffects, WaveTableOf, ::testing::ValuesIn(kEffects), effectName);

// ---- Thread-count independence of the parallel builders ----

class ParallelWaveTable : public ::testing::TestWithParam<const Effect*> {};

// Every row is its own work-sharing loop, so the frame is kept small to spare the barriers when the
// team outnumbers the cores. 101 columns at K = 2 or 4 split over three threads give blocks of
// odd and of even length.
TEST_P(ParallelWaveTable, SameCellsForOneTwoAndThreeThreads) {
  const Effect& e = *GetParam();
  const Table reference = build(e, 101, 37);
  ASSERT_TRUE(reference.fBuilt);
  for (int threads : {1, 2, 3}) {
    SCOPED_TRACE(std::to_string(threads) + " threads");
    const ThreadCount scope(threads);
    ASSERT_EQ(teamSize(), threads);
    const Table t = build(e, 101, 37);
    ASSERT_TRUE(t.fBuilt);
    EXPECT_TRUE(t.fCells == reference.fCells);
  }
}

INSTANTIATE_TEST_SUITE_P(AllEffects, ParallelWaveTable, ::testing::ValuesIn(kEffects), effectName);

// ---- Symmetries of the angle-code patterns ----

TEST(WaveTableSymmetry, GraldenMirrorsAboutCentreRowAndColumn) {
  const Table& t = table320(kGraldenFx);
  ASSERT_TRUE(t.fBuilt);
  std::size_t bad = 0;
  for (std::int32_t j = 0; j < t.rows(); ++j) {
    for (std::int32_t d = 1; d < 320; ++d) bad += t.at(320 + d, j) != t.at(320 - d, j);
  }
  for (std::int32_t i = 0; i < t.cols(); ++i) {
    for (std::int32_t d = 1; d < 240; ++d) bad += t.at(i, 240 + d) != t.at(i, 240 - d);
  }
  EXPECT_EQ(bad, 0u);
}

// Around Lumbra's builder's centre (160, 120): code 0 on the vertical line, 32768 on the
// horizontal one, on both sides.
TEST(WaveTableSymmetry, LumbraAxesThroughBuildersCentre) {
  const Table& t = table320(kLumbraFx);
  ASSERT_TRUE(t.fBuilt);
  std::size_t bad = 0;
  for (std::int32_t j = 0; j < t.rows(); ++j) bad += t.at(160, j) != 0;
  for (std::int32_t i = 0; i < t.cols(); ++i) bad += i != 160 && t.at(i, 120) != 32768;
  EXPECT_EQ(bad, 0u);
}

// A code stands for an angle modulo half a turn, so cells opposite each other through the
// builder's centre share their code.
TEST(WaveTableSymmetry, LumbraOppositeCellsShareCode) {
  const Table& t = table320(kLumbraFx);
  ASSERT_TRUE(t.fBuilt);
  std::size_t bad = 0;
  for (std::int32_t b = -120; b <= 120; ++b) {
    for (std::int32_t a = -160; a <= 160; ++a)
      bad += t.at(160 + a, 120 + b) != t.at(160 - a, 120 - b);
  }
  EXPECT_EQ(bad, 0u);
}

}  // namespace
}  // namespace fluxgrain
