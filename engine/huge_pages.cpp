// Huge-page advice for large blocks.
#include "engine/huge_pages.h"

#include <sys/mman.h>

#include <cstdint>

void adviseHugePages(const void* block, size_t bytes) {
#ifdef MADV_HUGEPAGE
  const uintptr_t huge = uintptr_t{1} << 21;
  const uintptr_t begin = reinterpret_cast<uintptr_t>(block);
  const uintptr_t first = (begin + huge - 1) & ~(huge - 1);
  const uintptr_t last = (begin + bytes) & ~(huge - 1);
  if (block != nullptr && last > first) {
    madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
  }
#else
  (void)block;
  (void)bytes;
#endif
}
