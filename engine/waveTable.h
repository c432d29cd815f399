// What the table builders share: allocating the WaveTable, the row loop, and the cell formats.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/intMath.h"
#include "shell/heap.h"
#include "shell/plugObj.h"

namespace fluxgrain {

// Rows shorter than this are not worth a parallel team.
constexpr std::int32_t kParallelMinCells = 16;

enum class ColumnLoop { kParallel, kSerial };

// Allocates obj.fWaveTable with K*W x K*H cells (left uninitialised: every cell gets written).
inline bool allocWaveTable(PlugObj& obj, std::int32_t k) {
  const std::size_t cells = std::size_t(k) * std::size_t(k) * std::size_t(obj.fWidth) *
                            std::size_t(obj.fHeight);
  obj.fWaveTable = static_cast<std::int32_t*>(allocBytes(cells * sizeof(std::int32_t)));
  return obj.fWaveTable != nullptr;
}

// Allocates the K*W x K*H WaveTable and fills it row after row: makeRow(j) computes what a row
// shares, cell(row, i) the value of column i. The columns of a row may run in parallel (static
// schedule); every cell depends only on its position, so the thread count changes nothing.
template <class MakeRow, class Cell>
bool buildWaveTable(PlugObj& obj, std::int32_t k, ColumnLoop loop, MakeRow makeRow, Cell cell) {
  if (!allocWaveTable(obj, k)) return false;
  const std::int32_t cols = k * obj.fWidth, rows = k * obj.fHeight;
  const bool parallel = loop == ColumnLoop::kParallel && cols >= kParallelMinCells;
  // One team for the whole table: a team per row costs more than the row when other programs
  // compete for the cores. Each thread takes its static block of every row's columns.
#pragma omp parallel if (parallel)
  for (std::int32_t j = 0; j < rows; ++j) {
    const auto row = makeRow(j);
    std::int32_t* out = obj.fWaveTable + std::size_t(j) * std::size_t(cols);
#pragma omp for schedule(static) nowait
    for (std::int32_t i = 0; i < cols; ++i) out[i] = cell(row, i);
  }
  return true;
}

// A displacement cell: dx + W*dy, each component truncated toward zero.
inline std::int32_t pixelOffset(double dx, double dy, std::int32_t width) {
  return wrapAdd(truncToInt32(dx), wrapMul(width, truncToInt32(dy)));
}

}  // namespace fluxgrain
