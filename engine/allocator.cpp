// The engine's allocator and the release of its work arrays.
#include "engine/allocator.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "engine/work_arrays.h"
#include "foundation/ov_alloc.h"

namespace {

// Reads one character from standard input, as the reports ask for a key.
void waitForKey() {
  char key;
  if (std::scanf("%c", &key) != 1) {
    // End of input: nothing to wait for.
  }
}

[[noreturn]] void outOfMemoryStop() {
  std::fputs("\n", stdout);
  std::fputs("ERROR:   Out of memory.\n", stdout);
  std::fputs("         Memory Allocation Error\n", stdout);
  std::fputs("         Unload any memory resident programs and try again.\n\n", stdout);
  std::fputs("         PRESS ANY KEY TO CONTINUE", stdout);
  waitForKey();
  // abort() does not flush; the report must survive a redirect.
  std::fflush(stdout);
  std::abort();
}

}  // namespace

size_t workBlockSize(int64_t count, size_t elementSize) {
  if (count < 0) return SIZE_MAX;
  uint64_t n = static_cast<uint64_t>(count);
  if (elementSize != 0 && n > SIZE_MAX / elementSize) return SIZE_MAX;
  return static_cast<size_t>(n * elementSize);
}

void* allocateWorkBlock(size_t size) {
  void* block = nullptr;
  if (size != 0) {
    // SIZE_MAX marks an impossible request; never hand it to the heap.
    if (size != SIZE_MAX && !OvTakeInjectedFailure()) block = std::malloc(size);
    if (block == nullptr) outOfMemoryStop();
  } else {
    std::fputs("\n", stdout);
    std::fputs("\nERROR:   Allocating 0 Bytes.", stdout);
    std::fputs("\n         Memory Allocation Error\n", stdout);
    std::fputs("         PRESS ANY KEY TO CONTINUE", stdout);
    waitForKey();
  }
  std::fflush(stdout);
  return block;
}

void freeWorkArrays(int32_t N) {
  if (pointCoords != nullptr) {
    for (int32_t i = 0; i < N; ++i) std::free(pointCoords[i]);
  }
  std::free(pointCoords);
  std::free(rates);
  std::free(weights);
  std::free(currentValues);
  std::free(nextValues);
  if (endValues != nullptr) {
    for (int32_t i = 0; i < N; ++i) std::free(endValues[i]);
  }
  std::free(endValues);
  std::free(neighborScratch);
  for (int32_t i = 0; i < N; ++i) {
    if (neighborLists != nullptr) std::free(neighborLists[i].entries);
    if (tripleSets != nullptr) std::free(tripleSets[i].triples);
  }
  std::free(tripleSets);
  std::free(neighborLists);
  pointCoords = nullptr;
  rates = weights = currentValues = nextValues = nullptr;
  endValues = nullptr;
  neighborScratch = nullptr;
  tripleSets = nullptr;
  neighborLists = nullptr;
}
