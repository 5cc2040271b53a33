// The console program's allocation policy for the smoothing engine: a
// zero-size request is reported on standard output (the run goes on after
// a key is read); a refusal, there or anywhere in the engine, prints the
// out-of-memory report, reads a key and aborts. It holds only the progress
// line it clears before a report, which stays the caller's.
#ifndef TESSEL_FRONTEND_CONSOLE_ALLOCATION_H_
#define TESSEL_FRONTEND_CONSOLE_ALLOCATION_H_

#include <cstddef>

#include "frontend/console_progress.h"
#include "tessel/tessel.h"

class ConsoleAllocation : public tessel::AllocationPolicy {
 public:
  // progress, when given, is cleared before each report.
  explicit ConsoleAllocation(ConsoleProgress* progress = nullptr) : progress_(progress) {}

  // The block, or null after the zero-size report; flushes standard
  // output on every return; never returns when refused.
  void* obtain(size_t size) override;

 private:
  ConsoleProgress* const progress_;
};

// The report of a zero-size request, as standard output shows it.
extern const char kZeroSizeReport[];

// The out-of-memory report, the key read, then abort().
[[noreturn]] void outOfMemoryStop();

#endif  // TESSEL_FRONTEND_CONSOLE_ALLOCATION_H_
