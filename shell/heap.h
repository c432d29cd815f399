// C-heap allocation for the instance's buffers and slot images. Frames and tables of 0 pixels
// still get a (one-byte) block, so an empty frame is never mistaken for a failed allocation.
#pragma once

#include <cstddef>
#include <cstdlib>

namespace fluxgrain {

inline void* allocBytes(std::size_t bytes) { return std::malloc(bytes > 0 ? bytes : 1); }
inline void* allocZeroedBytes(std::size_t bytes) { return std::calloc(bytes > 0 ? bytes : 1, 1); }

}  // namespace fluxgrain
