// tessel: smooths rates observed at points in the plane.
#include "frontend/driver.h"

#ifdef TESSEL_FAULT_INJECTION
#include <cstdlib>

#include "foundation/ov_alloc.h"
#endif

int main(int argc, char** argv) {
#ifdef TESSEL_FAULT_INJECTION
  // Test build only: TESSEL_FAIL_AT=k makes the allocation after k
  // successful ones fail, through the library's and the engine's allocator.
  if (const char* failAt = std::getenv("TESSEL_FAIL_AT")) {
    OvFailAllocationAfter(std::strtoll(failAt, nullptr, 10));
  }
#endif
  return runProgram(argc, argv);
}
