// Where the engine's memory comes from. Every block the engine's phases use
// (the work arrays, the selection's candidate buffers, the passes' screen
// lists) is obtained through the AllocationPolicy the caller hands in, and
// released with std::free by the phase or workspace that obtained it. The
// policy decides what a zero-size request and a refusal do: the console
// program reports both and stops on a refusal; RaisingAllocation, for
// library callers, prints nothing and throws std::bad_alloc. Memory the
// engine takes from the standard containers and new[] (the k-d tree, the
// workers' neighbour lists, the renumbering's scratch, the iterations'
// change flags) throws std::bad_alloc too, from whichever thread asked; the
// phases carry it to the caller.
#ifndef TESSEL_ENGINE_ALLOCATION_H_
#define TESSEL_ENGINE_ALLOCATION_H_

#include <cstddef>
#include <cstdint>
#include <cstdlib>

class AllocationPolicy {
 public:
  virtual ~AllocationPolicy() = default;
  // A block of size bytes, or null for a zero-size request. SIZE_MAX marks
  // a request that cannot be met (a negative count, an overflowing size).
  // Never returns null when size is not 0: refuses by throwing or by ending
  // the process.
  virtual void* obtain(size_t size) = 0;
};

// Silent policy for library callers: null for size 0, std::bad_alloc when
// the heap refuses.
class RaisingAllocation : public AllocationPolicy {
 public:
  void* obtain(size_t size) override;
};

// Byte size of count elements of elementSize bytes; SIZE_MAX when count is
// negative or the product overflows.
size_t workBlockSize(int64_t count, size_t elementSize);

// Typed convenience: policy.obtain(workBlockSize(count, sizeof(T))).
template <class T>
T* obtainArray(AllocationPolicy& policy, int64_t count) {
  return static_cast<T*>(policy.obtain(workBlockSize(count, sizeof(T))));
}

// Deleter for a block obtained from a policy, for std::unique_ptr.
struct FreeBlock {
  void operator()(void* block) const { std::free(block); }
};

#endif  // TESSEL_ENGINE_ALLOCATION_H_
