// Integer arithmetic as the engine defines it: int32 sums and products wrap, and conversions
// from double truncate toward zero. Written with unsigned arithmetic so that the wrap is defined.
#pragma once

#include <cstdint>

namespace fluxgrain {

constexpr std::int32_t wrapAdd(std::int32_t a, std::int32_t b) {
  return std::int32_t(std::uint32_t(a) + std::uint32_t(b));
}
constexpr std::int32_t wrapSub(std::int32_t a, std::int32_t b) {
  return std::int32_t(std::uint32_t(a) - std::uint32_t(b));
}
constexpr std::int32_t wrapMul(std::int32_t a, std::int32_t b) {
  return std::int32_t(std::uint32_t(a) * std::uint32_t(b));
}

// Truncation toward zero. A value outside the int32 range (or NaN) gives 0x80000000, the
// answer of the processor's own conversion, instead of undefined behaviour.
inline std::int32_t truncToInt32(double v) {
  if (!(v > -2147483649.0 && v < 2147483648.0)) return INT32_MIN;
  return std::int32_t(v);
}

}  // namespace fluxgrain
