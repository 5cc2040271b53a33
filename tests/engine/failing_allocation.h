// The engine tests' operator new, which can be told to fail: while a limit
// is set, every request of that many bytes or more that a thread other than
// the one that set it makes throws std::bad_alloc. Owned by the tests that
// set it; they set it back to kNoLimit before anything else runs.
#ifndef TESSEL_TESTS_ENGINE_FAILING_ALLOCATION_H_
#define TESSEL_TESTS_ENGINE_FAILING_ALLOCATION_H_

#include <cstddef>
#include <cstdint>

constexpr size_t kNoLimit = SIZE_MAX;

void failAllocationsFrom(size_t bytes);

#endif  // TESSEL_TESTS_ENGINE_FAILING_ALLOCATION_H_
