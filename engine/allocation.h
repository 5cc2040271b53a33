// How the phases take memory from the caller's AllocationPolicy (declared
// in tessel/tessel.h): byte sizes that cannot overflow, typed requests, and
// the deleter that releases a block with std::free. The phase or the
// WorkArrays that obtained a block releases it.
#ifndef TESSEL_ENGINE_ALLOCATION_H_
#define TESSEL_ENGINE_ALLOCATION_H_

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "tessel/tessel.h"

namespace tessel {

// Byte size of count elements of elementSize bytes; SIZE_MAX when count is
// negative or the product overflows.
size_t workBlockSize(int64_t count, size_t elementSize);

// Typed convenience: policy.obtain(workBlockSize(count, sizeof(T))).
template <class T>
T* obtainArray(AllocationPolicy& policy, int64_t count) {
  return static_cast<T*>(policy.obtain(workBlockSize(count, sizeof(T))));
}

// adviseHugePages (tessel/tessel.h) for `count` elements from block.
template <class T>
void adviseHugePageArray(T* block, int64_t count) {
  adviseHugePages(block, workBlockSize(count, sizeof(T)));
}

// The opposite advice, for a block the run writes only here and there:
// where the system puts every block on huge pages unasked, the untouched
// parts of this one's would be resident too.
void adviseSmallPages(void* block, size_t bytes);

// Deleter for a block obtained from a policy, for std::unique_ptr.
struct FreeBlock {
  void operator()(void* block) const { std::free(block); }
};

}  // namespace tessel

#endif  // TESSEL_ENGINE_ALLOCATION_H_
