#include "frontend/console_allocation.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "foundation/ov_alloc.h"

namespace {

// Reads one character from standard input, as the reports ask for a key.
void waitForKey() {
  char key;
  if (std::scanf("%c", &key) != 1) {
    // End of input: nothing to wait for.
  }
}

}  // namespace

void outOfMemoryStop() {
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

const char kZeroSizeReport[] =
    "\n\nERROR:   Allocating 0 Bytes.\n         Memory Allocation Error\n"
    "         PRESS ANY KEY TO CONTINUE";

void* ConsoleAllocation::obtain(size_t size) {
  void* block = nullptr;
  if (size != 0) {
    // SIZE_MAX marks an impossible request; never hand it to the heap.
    if (size != SIZE_MAX && !OvTakeInjectedFailure()) block = std::malloc(size);
    if (block == nullptr) {
      if (progress_ != nullptr) progress_->clear();
      outOfMemoryStop();
    }
  } else {
    if (progress_ != nullptr) progress_->clear();
    std::fputs(kZeroSizeReport, stdout);
    waitForKey();
  }
  std::fflush(stdout);
  return block;
}
