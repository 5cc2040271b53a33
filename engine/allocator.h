// The engine's allocator. Every block the engine uses comes from
// allocateWorkBlock, which reports a zero-size request (and goes on) and
// stops the process with its out-of-memory report when the heap refuses.
// freeWorkArrays releases the work arrays at the end of a run.
#ifndef TESSEL_ENGINE_ALLOCATOR_H_
#define TESSEL_ENGINE_ALLOCATOR_H_

#include <cstddef>
#include <cstdint>

// Returns a block of size bytes, or null after a zero-size report.
// Flushes standard output on every return; never returns when refused.
void* allocateWorkBlock(size_t size);

// Byte size of count elements of elementSize bytes; SIZE_MAX (a request the
// heap always refuses) when count is negative or the product overflows.
size_t workBlockSize(int64_t count, size_t elementSize);

// Typed convenience: allocateWorkBlock(workBlockSize(count, sizeof(T))).
template <class T>
T* allocateWorkArray(int64_t count) {
  return static_cast<T*>(allocateWorkBlock(workBlockSize(count, sizeof(T))));
}

// Releases every work array in the fixed order, then clears the pointers.
void freeWorkArrays(int32_t N);

#endif  // TESSEL_ENGINE_ALLOCATOR_H_
