// The prefaulting thread.
#include "engine/prefault.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <system_error>

namespace {

// Work between two looks at the stop flag.
constexpr size_t kStep = size_t{2} << 20;

}  // namespace

void Prefaulter::add(const void* block, size_t bytes) {
  if (block != nullptr && bytes > 0) {
    ranges.push_back({static_cast<char*>(const_cast<void*>(block)), bytes});
  }
}

void Prefaulter::start() {
#ifdef MADV_POPULATE_WRITE
  if (ranges.empty() || worker.joinable()) return;
  stop.store(false, std::memory_order_relaxed);
  try {
    worker = std::thread([this] { run(); });
  } catch (const std::system_error&) {
    // No thread: the phases take their own faults.
  }
#endif
}

void Prefaulter::finish() {
  stop.store(true, std::memory_order_relaxed);
  if (worker.joinable()) worker.join();
  ranges.clear();
}

void Prefaulter::run() {
#ifdef MADV_POPULATE_WRITE
  const uintptr_t page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
  for (const Range& range : ranges) {
    // Whole pages inside the block: populating never changes a byte, but
    // the pages at its ends may belong to other blocks, left to their own.
    const uintptr_t first = (reinterpret_cast<uintptr_t>(range.begin) + page - 1) & ~(page - 1);
    const uintptr_t end = (reinterpret_cast<uintptr_t>(range.begin) + range.bytes) & ~(page - 1);
    for (uintptr_t at = first; at < end; at += kStep) {
      if (stop.load(std::memory_order_relaxed)) return;
      const size_t length = end - at < kStep ? end - at : kStep;
      if (madvise(reinterpret_cast<void*>(at), length, MADV_POPULATE_WRITE) != 0) return;
    }
  }
#endif
}
