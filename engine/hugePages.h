// Asks the kernel to back a large block with huge pages where it can. The pass reads the table
// along lines that cross a new table row at almost every pixel, so with 4 KiB pages nearly every
// table read at 1080p needs its own TLB entry; 2 MiB pages cut those misses by 512. Advice only:
// the contents and the result stay the same, and systems without it simply skip it.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace fluxgrain {

inline void adviseHugePages(void* block, std::size_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  constexpr std::uintptr_t kHuge = std::uintptr_t(2) << 20;
  // Only the whole huge pages inside the block: advice must start on a page boundary, and the
  // bytes around the block may belong to other allocations.
  const std::uintptr_t start = std::uintptr_t(block), end = start + bytes;
  const std::uintptr_t first = (start + kHuge - 1) & ~(kHuge - 1), last = end & ~(kHuge - 1);
  if (last > first) madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#else
  (void)block;
  (void)bytes;
#endif
}

}  // namespace fluxgrain
