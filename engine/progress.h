// A run's progress reports to the caller's ProgressHook: the phase, the
// share of it done, and the caller's answer whether to go on. The reporter
// belongs to the run's WorkArrays; it is used only on the thread that runs
// the core (parallel.h calls it there between chunks), so it needs no
// locking. Between a phase's start and end it calls the hook only when
// kInterval has passed since the last call, so that reporting costs nothing
// on the hot paths.
#ifndef TESSEL_ENGINE_PROGRESS_H_
#define TESSEL_ENGINE_PROGRESS_H_

#include <chrono>

#include "tessel/tessel.h"

namespace tessel {

class ProgressReporter {
 public:
  explicit ProgressReporter(const ProgressHook& hook) : hook(hook) {}

  // Starts a phase: the hook hears share 0. Later reports of shares in
  // [0, 1] are mapped into [spanBegin, spanEnd] of the phase.
  void begin(Phase phase);
  // Ends the phase: the hook hears share 1.
  void end();
  // The share of the current span done; the hook hears it when the
  // interval has passed. Throws Cancelled when the hook asks to stop.
  void report(double done) {
    if (!hook) return;
    const Clock::time_point now = Clock::now();
    if (now - last < kInterval) return;
    tell(spanBegin + (spanEnd - spanBegin) * done, now);
  }
  // Later reports cover [begin, end] of the phase (the whole phase when a
  // phase begins).
  void setSpan(double begin, double end) {
    spanBegin = begin;
    spanEnd = end;
  }

 private:
  using Clock = std::chrono::steady_clock;
  static constexpr Clock::duration kInterval = std::chrono::milliseconds(20);

  void tell(double share, Clock::time_point now);

  const ProgressHook& hook;
  Phase phase = Phase::kTree;
  double spanBegin = 0.0;
  double spanEnd = 1.0;
  Clock::time_point last{};
};

}  // namespace tessel

#endif  // TESSEL_ENGINE_PROGRESS_H_
