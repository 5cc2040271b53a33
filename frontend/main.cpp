// tessel: smooths rates observed at points in the plane.
#include "frontend/driver.h"

#ifdef TESSEL_FAULT_INJECTION
#include <cstdlib>
#include <new>

#include "foundation/ov_alloc.h"

// Test build only: every operator new, the standard containers' included
// and those of the engine's worker threads, counts against the same seam
// as the library's and the engine's own allocators.
void* operator new(std::size_t size) {
  if (OvTakeInjectedFailure()) throw std::bad_alloc();
  if (void* block = std::malloc(size == 0 ? 1 : size)) return block;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return operator new(size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept {
  return operator new(size, tag);
}
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }
#endif

int main(int argc, char** argv) {
#ifdef TESSEL_FAULT_INJECTION
  // TESSEL_FAIL_AT=k makes the allocation after k successful ones fail.
  if (const char* failAt = std::getenv("TESSEL_FAIL_AT")) {
    OvFailAllocationAfter(std::strtoll(failAt, nullptr, 10));
  }
#endif
  return runProgram(argc, argv);
}
