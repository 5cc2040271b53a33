// The program's progress line: while a run goes on, the phase and how far
// it is, shown in place on one line of standard error when that is a
// terminal and the run has taken more than a second. Anything else the run
// writes to the terminal is preceded by clear(), so the screen ends as it
// would without the line. When standard error is not a terminal it writes
// nothing at all. Owned by the run driver, one per run; not thread-safe
// (the engine calls its progress hook on the thread that runs it).
#ifndef TESSEL_FRONTEND_CONSOLE_PROGRESS_H_
#define TESSEL_FRONTEND_CONSOLE_PROGRESS_H_

#include <chrono>
#include <cstddef>

class ConsoleProgress {
 public:
  // Shows on `descriptor` when it is a terminal (standard error by
  // default), once quietStart has passed since the construction.
  explicit ConsoleProgress(int descriptor = 2,
                           std::chrono::milliseconds quietStart = std::chrono::seconds(1));
  ~ConsoleProgress();
  ConsoleProgress(const ConsoleProgress&) = delete;
  ConsoleProgress& operator=(const ConsoleProgress&) = delete;

  // Notes that `phase` is `share` (0 to 1; below 0 when not known) done;
  // draws it once the quiet start is over, at most ten times a second
  // unless the phase changes.
  void update(const char* phase, double share);
  // Erases the line, when one is shown.
  void clear();

 private:
  using Clock = std::chrono::steady_clock;
  void write(const char* text, size_t length);

  const int descriptor_;
  const bool enabled_;
  const Clock::time_point showFrom_;
  Clock::time_point lastDrawn_;
  const char* lastPhase_ = nullptr;
  size_t shownLength_ = 0;  // characters on the line now
};

#endif  // TESSEL_FRONTEND_CONSOLE_PROGRESS_H_
