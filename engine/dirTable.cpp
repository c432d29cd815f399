#include "engine/dirTable.h"

#include <cmath>
#include <cstdlib>

#include "engine/angles.h"
#include "engine/intMath.h"
#include "shell/heap.h"

namespace fluxgrain {

namespace {
constexpr double kCodesPerHalfTurn = 65536.0;
constexpr double kDirStep = 0.00047936899621426287;  // 10 pi / 65536
constexpr double kDirAmplitude = 65536.0;
}  // namespace

std::int32_t angleCode(double angle) {
  while (angle < 0.0) angle = angle + kTwoPi;
  return truncToInt32((angle * kCodesPerHalfTurn) / kPi) & 0xFFFF;
}

bool buildDirTable(PlugObj& obj) {
  // The code offsets share the block, so that releasing the direction table releases them too.
  static_assert(sizeof(DirEntry) % alignof(std::int32_t) == 0);
  auto* table = static_cast<DirEntry*>(
      allocBytes((sizeof(DirEntry) + sizeof(std::int32_t)) * std::size_t(kDirEntries)));
  if (table == nullptr) return false;
#pragma omp parallel for schedule(static)
  for (std::int32_t e = 0; e < kDirEntries; ++e) {
    const double x = double(e) * kDirStep;
    table[e] = {truncToInt32(std::cos(x) * kDirAmplitude), truncToInt32(std::sin(x) * kDirAmplitude)};
  }
  obj.fDirTable = table;
  obj.fCodeOffsets = reinterpret_cast<std::int32_t*>(table + kDirEntries);
  obj.fCodeOffsetsFilled = false;
  return true;
}

std::int32_t angleMultiplier(const PlugObj& obj, const EngineProfile& profile) {
  const float product = obj.fParams[kAngMul].fValue * profile.fAngMulScale;
  return truncToInt32(double(product));
}

}  // namespace fluxgrain
