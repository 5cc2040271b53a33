// The engine tests' operator new (failing_allocation.h), in a file of its
// own so that no caller is compiled beside it.
#include "engine/failing_allocation.h"

#include <atomic>
#include <cstdlib>
#include <new>
#include <thread>

namespace {

std::atomic<size_t> limit{kNoLimit};
std::atomic<std::thread::id> spared{};

}  // namespace

void failAllocationsFrom(size_t bytes) {
  spared.store(std::this_thread::get_id());
  limit.store(bytes);
}

// Every form but the aligned ones, so that each block is released by the
// same allocator that gave it (the sanitizers check).
void* operator new(size_t size) {
  if (size >= limit.load(std::memory_order_relaxed) &&
      spared.load(std::memory_order_relaxed) != std::this_thread::get_id()) {
    throw std::bad_alloc();
  }
  void* block = std::malloc(size == 0 ? 1 : size);
  if (block == nullptr) throw std::bad_alloc();
  return block;
}
void* operator new[](size_t size) { return operator new(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept {
  try {
    return operator new(size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
void* operator new[](size_t size, const std::nothrow_t& nothrow) noexcept {
  return operator new(size, nothrow);
}

void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, size_t) noexcept { std::free(block); }
void operator delete[](void* block, size_t) noexcept { std::free(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { std::free(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { std::free(block); }
