// Deterministic busy bytes for frames in tests, test hosts and benchmarks: a small xorshift,
// cheap and reproducible, different for every seed, so that nothing sees a uniform image.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace fluxgrain {

inline std::vector<std::uint8_t> patternBytes(std::size_t size, std::uint32_t seed) {
  std::vector<std::uint8_t> bytes(size);
  std::uint32_t x = seed * 2654435761u + 12345u;
  for (std::uint8_t& b : bytes) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    b = std::uint8_t(x >> 24);
  }
  return bytes;
}

}  // namespace fluxgrain
