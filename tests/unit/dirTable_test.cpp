// The direction table, the angle code and the angle multiplier of the eight-parameter plug-ins.
#include <gtest/gtest.h>
#include <omp.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "effects/effects.h"
#include "engine/angles.h"
#include "engine/dirTable.h"

namespace fluxgrain {
namespace {

std::vector<DirEntry> buildEntries() {
  PlugObj obj{};
  if (!buildDirTable(obj) || obj.fDirTable == nullptr) {
    ADD_FAILURE() << "buildDirTable failed";
    return {};
  }
  std::vector<DirEntry> entries(obj.fDirTable, obj.fDirTable + kDirEntries);
  std::free(obj.fDirTable);
  return entries;
}

const std::vector<DirEntry>& entries() {
  static const std::vector<DirEntry> table = buildEntries();
  return table;
}

bool sameEntries(const std::vector<DirEntry>& a, const std::vector<DirEntry>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t e = 0; e < a.size(); ++e) {
    if (a[e].fCos != b[e].fCos || a[e].fSin != b[e].fSin) return false;
  }
  return true;
}

TEST(DirTable, WorkedEntries) {
  ASSERT_EQ(entries().size(), std::size_t(kDirEntries));
  struct Case {
    std::int32_t fEntry, fCos, fSin;
  };
  // Entries 0 and 1, and those that the worked angle codes of Gralden, Lumbra and Solvane select
  // at the default "Ang Mul".
  const Case cases[] = {
      {0, 65536, 0},          {1, 65535, 31},        {6528, -65531, 804},   {21695, -36769, -54249},
      {30905, -41092, 51052}, {52352, 65491, -2412}, {5561, -58256, 30020},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("entry " + std::to_string(c.fEntry));
    EXPECT_EQ(entries()[std::size_t(c.fEntry)].fCos, c.fCos);
    EXPECT_EQ(entries()[std::size_t(c.fEntry)].fSin, c.fSin);
  }
}

// The worker ranges of 65536 entries over three threads have odd lengths, so a vectorised loop
// must also cover its scalar tail.
TEST(DirTable, SameEntriesForOneTwoAndThreeThreads) {
  ASSERT_EQ(entries().size(), std::size_t(kDirEntries));
  const int saved = omp_get_max_threads();
  for (int threads : {1, 2, 3}) {
    SCOPED_TRACE(std::to_string(threads) + " threads");
    omp_set_num_threads(threads);
    int team = 0;
#pragma omp parallel
    {
#pragma omp single
      team = omp_get_num_threads();
    }
    EXPECT_EQ(team, threads);
    EXPECT_TRUE(sameEntries(buildEntries(), entries()));
  }
  omp_set_num_threads(saved);
}

TEST(AngleCode, HalfTurnIs65536Codes) {
  struct Case {
    const char* fName;
    double fAngle;
    std::int32_t fCode;
  };
  const Case cases[] = {
      {"zero", 0.0, 0},
      {"pi", kPi, 0},  // 65536 wraps to 0
      {"minus pi", -kPi, 0},
      {"pi/4", kPi / 4, 16384},
      {"pi/2", kPi / 2, 32768},
      {"minus pi/2", -kPi / 2, 32768},  // brought to 3 pi/2
      {"3 pi/4", 0.75 * kPi, 49152},
      {"minus pi/4", -kPi / 4, 49152},
      {"minus 3 pi/4", -0.75 * kPi, 16384},
      {"just below pi", std::nextafter(kPi, 0.0), 65535},
      {"just below zero", -1e-9, 65535},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fName);
    EXPECT_EQ(angleCode(c.fAngle), c.fCode);
  }
}

TEST(AngleMultiplier, AngMulTimesProfileScaleTruncated) {
  struct Case {
    const PluginDef* fDef;
    float fAngMul;
    std::int32_t fExpected;
  };
  // 0.2 * 512 = 102.4000015 and 0.2 * 2048 = 409.6000061 in single precision.
  const Case cases[] = {
      {&kGralden, 0.0f, 0}, {&kGralden, 0.2f, 102}, {&kGralden, 1.0f, 512},
      {&kSolvane, 0.0f, 0}, {&kSolvane, 0.2f, 102}, {&kSolvane, 1.0f, 512},
      {&kLumbra, 0.0f, 0},  {&kLumbra, 0.2f, 409},  {&kLumbra, 1.0f, 2048},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.fDef->fName) + " at " + std::to_string(c.fAngMul));
    PlugObj obj{};
    for (int i = 0; i < c.fDef->fNumParams; ++i)
      obj.fParams[i].fValue = c.fDef->fParamTable[i].fDefault;
    obj.fParams[kAngMul].fValue = c.fAngMul;
    EXPECT_EQ(angleMultiplier(obj, c.fDef->fProfile), c.fExpected);
  }
}

}  // namespace
}  // namespace fluxgrain
