// The library callers' allocation policy and block-size arithmetic.
#include "engine/allocation.h"

#include <cstdint>
#include <cstdlib>
#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace tessel {

void* RaisingAllocation::obtain(size_t size) {
  if (size == 0) return nullptr;
  void* block = size == SIZE_MAX ? nullptr : std::malloc(size);
  if (block == nullptr) throw std::bad_alloc();
  return block;
}

namespace {

#if defined(__linux__) && defined(MADV_HUGEPAGE)
constexpr int kHugePages = MADV_HUGEPAGE, kSmallPages = MADV_NOHUGEPAGE;
#else
constexpr int kHugePages = 0, kSmallPages = 0;
#endif

// Gives `advice` for the whole 2 MiB pages inside [block, block + bytes).
// Whatever the system answers, the block is as it was: the result is not
// needed.
void advisePages(void* block, size_t bytes, [[maybe_unused]] int advice) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  constexpr uintptr_t kHugePage = uintptr_t{2} << 20;
  const uintptr_t start = reinterpret_cast<uintptr_t>(block);
  if (block == nullptr || bytes > UINTPTR_MAX - start) return;
  const uintptr_t begin = (start + kHugePage - 1) & ~(kHugePage - 1);
  const uintptr_t end = (start + bytes) & ~(kHugePage - 1);
  if (end > begin) (void)madvise(reinterpret_cast<void*>(begin), end - begin, advice);
#else
  (void)block;
  (void)bytes;
#endif
}

}  // namespace

void adviseHugePages(void* block, size_t bytes) { advisePages(block, bytes, kHugePages); }

void adviseSmallPages(void* block, size_t bytes) { advisePages(block, bytes, kSmallPages); }

size_t workBlockSize(int64_t count, size_t elementSize) {
  if (count < 0) return SIZE_MAX;
  uint64_t n = static_cast<uint64_t>(count);
  if (elementSize != 0 && n > SIZE_MAX / elementSize) return SIZE_MAX;
  return static_cast<size_t>(n * elementSize);
}

}  // namespace tessel
