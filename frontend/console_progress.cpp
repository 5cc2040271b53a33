#include "frontend/console_progress.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

// The least time between two drawings of one phase.
constexpr std::chrono::milliseconds kRedrawInterval(100);

}  // namespace

ConsoleProgress::ConsoleProgress(int descriptor, std::chrono::milliseconds quietStart)
    : descriptor_(descriptor), enabled_(isatty(descriptor) == 1),
      showFrom_(Clock::now() + quietStart) {}

ConsoleProgress::~ConsoleProgress() { clear(); }

void ConsoleProgress::update(const char* phase, double share) {
  if (!enabled_) return;
  const Clock::time_point now = Clock::now();
  if (now < showFrom_) return;
  if (phase == lastPhase_ && shownLength_ > 0 && now - lastDrawn_ < kRedrawInterval) return;
  lastPhase_ = phase;
  lastDrawn_ = now;
  // "\r" and the new text, padded with blanks over what is left of the old.
  char line[96];
  int length;
  if (share >= 0.0) {
    const int percent = share >= 1.0 ? 100 : static_cast<int>(share * 100.0);
    length = std::snprintf(line, sizeof line, "\rtessel: %s %3d%%", phase, percent);
  } else {
    length = std::snprintf(line, sizeof line, "\rtessel: %s", phase);
  }
  if (length <= 0) return;
  size_t text = static_cast<size_t>(length) - 1;
  if (text > sizeof line - 2) text = sizeof line - 2;
  size_t total = text + 1;
  while (total - 1 < shownLength_ && total < sizeof line) line[total++] = ' ';
  write(line, total);
  shownLength_ = text;
}

void ConsoleProgress::clear() {
  if (shownLength_ == 0) return;
  char blanks[96];
  const size_t length = shownLength_ + 2 <= sizeof blanks ? shownLength_ : sizeof blanks - 2;
  blanks[0] = '\r';
  std::memset(blanks + 1, ' ', length);
  blanks[length + 1] = '\r';
  write(blanks, length + 2);
  shownLength_ = 0;
  lastPhase_ = nullptr;
}

void ConsoleProgress::write(const char* text, size_t length) {
  // A terminal that refuses the line loses only the line: the run's own
  // output is unaffected, so a failure here is not the run's.
  while (length > 0) {
    const ssize_t written = ::write(descriptor_, text, length);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return;
    text += written;
    length -= static_cast<size_t>(written);
  }
}
