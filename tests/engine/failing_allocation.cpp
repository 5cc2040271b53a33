// The engine tests' operator new (failing_allocation.h), in a file of its
// own so that no caller is compiled beside it.
#include "engine/failing_allocation.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<size_t> limit{kNoLimit};

}  // namespace

void failAllocationsFrom(size_t bytes) { limit.store(bytes); }

void* operator new(size_t size) {
  if (size >= limit.load(std::memory_order_relaxed)) throw std::bad_alloc();
  void* block = std::malloc(size == 0 ? 1 : size);
  if (block == nullptr) throw std::bad_alloc();
  return block;
}

void operator delete(void* block) noexcept { std::free(block); }
void operator delete(void* block, size_t) noexcept { std::free(block); }
