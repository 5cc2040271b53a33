// The progress line: its bytes on a pseudo-terminal, and nothing on a pipe
// or before the quiet start has passed.
#include "frontend/console_progress.h"

#include <fcntl.h>
#include <pty.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>

namespace {

// What a progress line on `to` sends to `from` for two phases, a skipped
// redraw, clears and an open phase.
std::string shown(int from, int to, std::chrono::milliseconds quietStart) {
  EXPECT_EQ(fcntl(from, F_SETFL, O_NONBLOCK), 0);
  {
    ConsoleProgress progress(to, quietStart);
    progress.update("search and triples", 0.996);  // shown as 99 %, never rounded up
    progress.update("search and triples", 0.6);    // within the redraw interval: skipped
    progress.update("iterations", 1.0);            // a new phase: drawn over the old
    progress.clear();
    progress.clear();  // nothing shown: nothing written
    progress.update("reading", -1.0);
  }  // the destructor clears
  std::string bytes;
  char buffer[512];
  for (ssize_t n; (n = read(from, buffer, sizeof buffer)) > 0;) bytes.append(buffer, n);
  close(from);
  close(to);
  return bytes;
}

TEST(ConsoleProgress, DrawsInPlaceOnATerminalOnly) {
  int pipeEnds[2];
  ASSERT_EQ(pipe(pipeEnds), 0);
  EXPECT_EQ(shown(pipeEnds[0], pipeEnds[1], std::chrono::milliseconds(0)), "");
  for (const auto quiet : {std::chrono::milliseconds(0), std::chrono::milliseconds(3600000)}) {
    int master = -1, slave = -1;
    if (openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) GTEST_SKIP() << "no pty here";
    struct termios mode;  // raw: the bytes arrive as written
    ASSERT_EQ(tcgetattr(slave, &mode), 0);
    cfmakeraw(&mode);
    ASSERT_EQ(tcsetattr(slave, TCSANOW, &mode), 0);
    EXPECT_EQ(shown(master, slave, quiet), quiet.count() > 0 ? ""
                                                             : "\rtessel: search and triples  99%"
                                                               "\rtessel: iterations 100%        "
                                                               "\r                       \r"
                                                               "\rtessel: reading"
                                                               "\r               \r");
  }
}

}  // namespace
