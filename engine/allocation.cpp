// The library callers' allocation policy and block-size arithmetic.
#include "engine/allocation.h"

#include <cstdint>
#include <cstdlib>
#include <new>

namespace tessel {

void* RaisingAllocation::obtain(size_t size) {
  if (size == 0) return nullptr;
  void* block = size == SIZE_MAX ? nullptr : std::malloc(size);
  if (block == nullptr) throw std::bad_alloc();
  return block;
}

size_t workBlockSize(int64_t count, size_t elementSize) {
  if (count < 0) return SIZE_MAX;
  uint64_t n = static_cast<uint64_t>(count);
  if (elementSize != 0 && n > SIZE_MAX / elementSize) return SIZE_MAX;
  return static_cast<size_t>(n * elementSize);
}

}  // namespace tessel
