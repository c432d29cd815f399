// The table builders against the straightforward form of each pattern: every cell computed from
// its own column and row with no shared terms, compared over whole tables. The builders hoist
// the terms of a row or a column and split the work among threads; neither may change a bit.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "effects/effects.h"
#include "engine/angles.h"
#include "engine/dirTable.h"
#include "engine/waveTable.h"

namespace fluxgrain {
namespace {

// The cell at column i and row j of a table for a W x H frame (w, h as doubles, width as int).
using PlainCell = std::function<std::int32_t(double i, double j, double w, double h, std::int32_t width)>;

std::int32_t offset(double a, double amplitude, std::int32_t width) {
  return pixelOffset(amplitude * std::sin(a), amplitude * std::cos(a), width);
}

struct PlainTable {
  const char* fName;
  const PluginDef* fDef;
  PlainCell fCell;
};

const PlainTable kPlain[] = {
    {"Pellum", &kPellum,
     [](double i, double j, double w, double h, std::int32_t width) {
       const double xv = (i - w) * 0.0625, yv = (j - h) * 0.0625;
       return offset(std::atan2(std::cos(std::sin(xv) * yv), std::cos(xv * std::sin(yv))), 3.5,
                     width);
     }},
    {"Caldor", &kCaldor,
     [](double i, double j, double w, double h, std::int32_t width) {
       const double u = (i - w) * 0.25, v = (j - h) * 0.25;
       const double r = std::sqrt(u * u + v * v);
       const double a = (std::atan2(u, v) + (kTwoPi * r) / (h / 3.0)) +
                        10.0 * std::sin((kPi * r) / 180.0);
       return offset(a, 2.5, width);
     }},
    {"Fennix", &kFennix,
     [](double i, double j, double w, double h, std::int32_t width) {
       const double u = i - w * 0.5, v = j - h * 0.5;
       const double r = std::sqrt(u * u + v * v);
       const double a = ((kTwoPi * r) / (h / 3.0) + ((r / h) * 24.0) * std::atan2(u, v)) +
                        10.0 * std::sin((kPi * r) / 180.0);
       return offset(a, 5.5, width);
     }},
    {"Gralden", &kGralden,
     [](double i, double j, double w, double h, std::int32_t) {
       const double u = (i - w) * 0.0625, v = (j - h) * 0.0625;
       return angleCode(std::atan2(std::cos(std::sin(u) + u), std::cos(std::sin(v) + v)));
     }},
    {"Orvial", &kOrvial,
     [](double i, double j, double w, double h, std::int32_t width) {
       const double u = (i - w) * 0.0625, v = (j - h) * 0.0625;
       const double r = std::sqrt(u * u + v * v);
       const double t = 0.2 / (r + 0.0001) + 1.5;
       const double m = -3.0 / (std::sqrt(t * t + t * t) + 0.0001);
       const double theta = std::atan2(u, v);
       return pixelOffset((3.5 * std::sin(theta)) * m, (3.5 * std::cos(theta)) * m, width);
     }},
    {"Zentrik", &kZentrik,
     [](double i, double j, double w, double h, std::int32_t width) {
       const double u = (i - w) * 0.0625, v = (j - h) * 0.0625;
       return offset(std::atan2(std::sin(v) + std::cos(v), std::sin(u) + std::cos(u)), 3.5, width);
     }},
    {"Lumbra", &kLumbra,
     [](double i, double j, double w, double h, std::int32_t) {
       return angleCode(std::atan2(i - w * 0.5, j - h * 0.5));
     }},
    {"Solvane", &kSolvane,
     [](double i, double j, double w, double h, std::int32_t) {
       const double u = (i - w) * 0.0625, v = (j - h) * 0.0625;
       return angleCode(std::atan2(std::sin(v) + std::cos(v), std::cos(u) + std::sin(u)));
     }},
};

class TableBuilder : public ::testing::TestWithParam<PlainTable> {};

TEST_P(TableBuilder, EveryCellAsTheStraightforwardFormula) {
  const PlainTable& plain = GetParam();
  const std::int32_t k = plain.fDef->fProfile.fTableFactor;
  const std::int32_t sizes[][2] = {{1, 1}, {7, 3}, {37, 23}, {160, 120}};
  for (const auto& size : sizes) {
    const std::int32_t w = size[0], h = size[1];
    SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
    PlugObj obj{};
    obj.fWidth = w;
    obj.fHeight = h;
    ASSERT_TRUE(plain.fDef->fBuildTable(obj));
    std::size_t bad = 0;
    std::int32_t firstI = -1, firstJ = -1;
    for (std::int32_t j = 0; j < k * h; ++j)
      for (std::int32_t i = 0; i < k * w; ++i) {
        const std::int32_t want = plain.fCell(i, j, w, h, w);
        if (obj.fWaveTable[std::size_t(j) * std::size_t(k * w) + std::size_t(i)] != want &&
            bad++ == 0) {
          firstI = i;
          firstJ = j;
        }
      }
    EXPECT_EQ(bad, 0u) << "first differing cell (" << firstI << ", " << firstJ << ")";
    std::free(obj.fWaveTable);
    std::free(obj.fDirTable);
  }
}

INSTANTIATE_TEST_SUITE_P(AllEffects, TableBuilder, ::testing::ValuesIn(kPlain),
                         [](const auto& param) { return std::string(param.param.fName); });

}  // namespace
}  // namespace fluxgrain
