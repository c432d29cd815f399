// What the table builders share: allocating the WaveTable, the row loop, and the cell formats.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "engine/hugePages.h"
#include "engine/intMath.h"
#include "shell/heap.h"
#include "shell/plugObj.h"

namespace fluxgrain {

// Tables narrower than this are not worth a parallel team.
constexpr std::int32_t kParallelMinCells = 16;

// Allocates obj.fWaveTable with K*W x K*H cells (left uninitialised: every cell gets written).
inline bool allocWaveTable(PlugObj& obj, std::int32_t k) {
  const std::size_t cells = std::size_t(k) * std::size_t(k) * std::size_t(obj.fWidth) *
                            std::size_t(obj.fHeight);
  obj.fWaveTable = static_cast<std::int32_t*>(allocBytes(cells * sizeof(std::int32_t)));
  if (obj.fWaveTable == nullptr) return false;
  adviseHugePages(obj.fWaveTable, cells * sizeof(std::int32_t));
  return true;
}

// Allocates the K*W x K*H WaveTable and fills it: makeColumn(i) computes what column i's cells
// share, once per table; makeRow(j) what row j's cells share, once per row; cell(row, column)
// the value of one cell. Every libm call that depends on the column alone thus runs K*W times,
// not K*W*K*H times. Columns, then each row's cells, are split among the threads in static
// blocks; every cell depends only on its position, so the thread count changes nothing.
template <class MakeRow, class MakeColumn, class Cell>
bool buildWaveTable(PlugObj& obj, std::int32_t k, MakeRow makeRow, MakeColumn makeColumn,
                    Cell cell) {
  using Column = decltype(makeColumn(0));
  if (!allocWaveTable(obj, k)) return false;
  const std::int32_t cols = k * obj.fWidth, rows = k * obj.fHeight;
  auto* column = static_cast<Column*>(allocBytes(std::size_t(cols) * sizeof(Column)));
  if (column == nullptr) return false;
  const bool parallel = cols >= kParallelMinCells;
  // One team for the whole table: a team per row costs more than the row when other programs
  // compete for the cores. Each thread takes its static block of the columns and of every row.
#pragma omp parallel if (parallel)
  {
#pragma omp for schedule(static)
    for (std::int32_t i = 0; i < cols; ++i) column[i] = makeColumn(i);
    for (std::int32_t j = 0; j < rows; ++j) {
      const auto row = makeRow(j);
      std::int32_t* out = obj.fWaveTable + std::size_t(j) * std::size_t(cols);
#pragma omp for schedule(static) nowait
      for (std::int32_t i = 0; i < cols; ++i) out[i] = cell(row, column[i]);
    }
  }
  std::free(column);
  return true;
}

// A displacement cell: dx + W*dy, each component truncated toward zero.
inline std::int32_t pixelOffset(double dx, double dy, std::int32_t width) {
  return wrapAdd(truncToInt32(dx), wrapMul(width, truncToInt32(dy)));
}

}  // namespace fluxgrain
