// Parameter display texts, limiting at frame time, and the eight plug-ins' parameter tables.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>
#include <ostream>
#include <string>

#include "effects/effects.h"
#include "shell/params.h"

namespace fluxgrain {
namespace {

// Failure messages name a table case instead of dumping its bytes.
template <class Case>
  requires requires(const Case& c) { c.name; }
void PrintTo(const Case& c, std::ostream* os) {
  *os << c.name;
}

std::string bytes16(const char (&text)[16]) { return std::string(text, 16); }

struct DisplayCase {
  const char* name;
  float value;
  std::string expected;  // all 16 bytes
};

class Display : public ::testing::TestWithParam<DisplayCase> {};

// The text starts at byte 0, ends in a zero byte, and every byte after it is a space, whatever
// the record held before.
TEST_P(Display, BytesExactly) {
  const DisplayCase& c = GetParam();
  ParamRec rec{};
  rec.fValue = c.value;
  for (char& ch : rec.fDisplay) ch = 'X';
  refreshDisplay(rec);
  EXPECT_EQ(bytes16(rec.fDisplay), c.expected);
}

using namespace std::string_literals;

INSTANTIATE_TEST_SUITE_P(
    Params, Display,
    ::testing::Values(DisplayCase{"DefaultBlend", 0.12f, "0.120000\0       "s},
                      DisplayCase{"Zero", 0.0f, "0.000000\0       "s},
                      DisplayCase{"One", 1.0f, "1.000000\0       "s},
                      DisplayCase{"Negative", -0.25f, "-0.250000\0      "s},
                      DisplayCase{"NegativeZero", -0.0f, "-0.000000\0      "s},
                      // The float32 nearest 123456789 is 123456792; "%f" gives 16 characters,
                      // cut to 15.
                      DisplayCase{"CutTo15", 123456789.0f, "123456792.00000\0"s}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

struct ClampCase {
  const char* name;
  float in;
  std::uint32_t outBits;
};

class Clamp : public ::testing::TestWithParam<ClampCase> {};

TEST_P(Clamp, LimitsToUnitRange) {
  const ClampCase& c = GetParam();
  ParamRec rec{};
  rec.fValue = c.in;
  clampParams(&rec, 1);
  EXPECT_EQ(std::bit_cast<std::uint32_t>(rec.fValue), c.outBits) << rec.fValue;
}

constexpr float kInf = std::numeric_limits<float>::infinity();

INSTANTIATE_TEST_SUITE_P(
    Params, Clamp,
    ::testing::Values(ClampCase{"Above", 1.5f, 0x3F800000},
                      ClampCase{"Below", -0.25f, 0x00000000},
                      ClampCase{"PlusInfinity", kInf, 0x3F800000},
                      ClampCase{"MinusInfinity", -kInf, 0x00000000},
                      ClampCase{"Largest", std::numeric_limits<float>::max(), 0x3F800000},
                      // -0.0 is not below 0.0: kept bit for bit.
                      ClampCase{"NegativeZero", -0.0f, 0x80000000},
                      ClampCase{"QuietNaN", std::numeric_limits<float>::quiet_NaN(), 0x00000000},
                      ClampCase{"NegativeNaN", -std::numeric_limits<float>::quiet_NaN(),
                                0x00000000},
                      ClampCase{"SmallestSubnormal", std::numeric_limits<float>::denorm_min(),
                                0x00000001},
                      ClampCase{"Inside", 0.12f, 0x3DF5C28F},
                      ClampCase{"One", 1.0f, 0x3F800000},
                      ClampCase{"JustAboveOne", std::nextafter(1.0f, 2.0f), 0x3F800000}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST(Params, ClampTouchesOnlyFirstCount) {
  ParamRec recs[kMaxParams] = {};
  for (ParamRec& r : recs) r.fValue = 1.5f;
  clampParams(recs, 7);
  for (int i = 0; i < 7; ++i) EXPECT_EQ(recs[i].fValue, 1.0f) << i;
  EXPECT_EQ(std::bit_cast<std::uint32_t>(recs[7].fValue), 0x3FC00000u);

  clampParams(recs + 7, 0);
  EXPECT_EQ(std::bit_cast<std::uint32_t>(recs[7].fValue), 0x3FC00000u);
}

struct TableCase {
  const PluginDef* def;
  int count;
  std::uint32_t blend, scale, distMul, stepVal, angMul;
};

class Table : public ::testing::TestWithParam<TableCase> {};

TEST_P(Table, NamesAndDefaultBits) {
  const TableCase& c = GetParam();
  ASSERT_EQ(c.def->fNumParams, c.count);
  const std::uint32_t defaults[kMaxParams] = {c.blend, c.scale, c.scale, c.scale,
                                              c.scale, c.distMul, c.stepVal, c.angMul};
  const char names[kMaxParams][16] = {"Blend",     "Scale XY1", "Scale XY2", "Scale XY3",
                                      "Scale XY4", "Dist Mul",  "Step Val",  "Ang Mul"};
  for (int i = 0; i < c.count; ++i) {
    SCOPED_TRACE(i);
    const ParamDef& p = c.def->fParamTable[i];
    EXPECT_EQ(std::bit_cast<std::uint32_t>(p.fDefault), defaults[i]);
    EXPECT_EQ(bytes16(p.fName), bytes16(names[i]));  // zero-padded to 16 bytes
  }
}

constexpr std::uint32_t k012 = 0x3DF5C28F, k01 = 0x3DCCCCCD, k02 = 0x3E4CCCCD, k028 = 0x3E8F5C29,
                        k03 = 0x3E99999A, k04 = 0x3ECCCCCD, k065 = 0x3F266666, k07 = 0x3F333333;

INSTANTIATE_TEST_SUITE_P(
    Params, Table,
    ::testing::Values(TableCase{&kPellum, 7, k012, k04, k07, k065, 0},
                      TableCase{&kCaldor, 7, k012, k01, k01, k01, 0},
                      TableCase{&kFennix, 7, k012, k01, k07, k065, 0},
                      TableCase{&kGralden, 8, k028, k02, k07, k065, k02},
                      TableCase{&kOrvial, 7, k012, k03, k07, k065, 0},
                      TableCase{&kZentrik, 7, k012, k03, k07, k065, 0},
                      TableCase{&kLumbra, 8, k028, k02, k07, k065, k02},
                      TableCase{&kSolvane, 8, k028, k02, k07, k065, k02}),
    [](const auto& testInfo) { return std::string(testInfo.param.def->fName); });

}  // namespace
}  // namespace fluxgrain
