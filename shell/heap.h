// C-heap allocation for every buffer and record an instance owns. Frames and tables of 0 pixels
// still get a (one-byte) block, so an empty frame is never mistaken for a failed allocation.
//
// Test programs built with FLUXGRAIN_ALLOC_FAULTS count the allocations made here and can make
// one of them fail, to show that every allocation failure is answered and leaks nothing. The
// plug-ins are never built with it.
#pragma once

#include <cstddef>
#include <cstdlib>

#ifdef FLUXGRAIN_ALLOC_FAULTS
#include <atomic>
#endif

namespace fluxgrain {

#ifdef FLUXGRAIN_ALLOC_FAULTS
namespace allocFaults {
inline std::atomic<long> gCount{0};   // allocations made so far
inline std::atomic<long> gFailAt{0};  // the number of the allocation that fails; 0: none
}  // namespace allocFaults
#endif

// Counts an allocation; true if it is the one to fail (never, outside test builds).
inline bool injectedFailure() {
#ifdef FLUXGRAIN_ALLOC_FAULTS
  return ++allocFaults::gCount == allocFaults::gFailAt.load();
#else
  return false;
#endif
}

inline void* allocBytes(std::size_t bytes) {
  return injectedFailure() ? nullptr : std::malloc(bytes > 0 ? bytes : 1);
}
inline void* allocZeroedBytes(std::size_t bytes) {
  return injectedFailure() ? nullptr : std::calloc(bytes > 0 ? bytes : 1, 1);
}

// A zero-filled record of a plain type (implicitly created by calloc), released with std::free.
template <class T>
T* allocRecords(std::size_t count) {
  return static_cast<T*>(allocZeroedBytes(sizeof(T) * count));
}

}  // namespace fluxgrain
