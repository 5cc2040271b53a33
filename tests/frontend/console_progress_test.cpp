// The progress line on a pseudo-terminal: what reaches the terminal, byte
// for byte, and nothing at all on a descriptor that is not one.
#include "frontend/console_progress.h"

#include <fcntl.h>
#include <pty.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>

namespace {

// What the terminal's other end has received so far.
std::string drain(int master) {
  std::string bytes;
  char buffer[512];
  for (;;) {
    const ssize_t n = read(master, buffer, sizeof buffer);
    if (n <= 0) break;
    bytes.append(buffer, static_cast<size_t>(n));
  }
  return bytes;
}

TEST(ConsoleProgress, DrawsInPlaceAndClearsToABlankLine) {
  int master = -1, slave = -1;
  if (openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) GTEST_SKIP() << "no pty here";
  // No output processing, so the bytes arrive as written.
  struct termios mode;
  ASSERT_EQ(tcgetattr(slave, &mode), 0);
  cfmakeraw(&mode);
  ASSERT_EQ(tcsetattr(slave, TCSANOW, &mode), 0);
  ASSERT_EQ(fcntl(master, F_SETFL, O_NONBLOCK), 0);
  {
    ConsoleProgress progress(slave, std::chrono::milliseconds(0));
    progress.update("search and triples", 0.5);
    progress.update("search and triples", 0.6);  // within the redraw interval: skipped
    progress.update("iterations", 1.0);          // a new phase: drawn over the old
    progress.clear();
    progress.clear();  // nothing shown: nothing written
    progress.update("reading", -1.0);
  }  // the destructor clears
  EXPECT_EQ(drain(master),
            "\rtessel: search and triples  50%"
            "\rtessel: iterations 100%        "
            "\r                       \r"
            "\rtessel: reading"
            "\r               \r");
  close(master);
  close(slave);
}

TEST(ConsoleProgress, SilentWhenNotATerminalOrTooSoon) {
  int pipeEnds[2];
  ASSERT_EQ(pipe(pipeEnds), 0);
  ASSERT_EQ(fcntl(pipeEnds[0], F_SETFL, O_NONBLOCK), 0);
  {
    ConsoleProgress progress(pipeEnds[1], std::chrono::milliseconds(0));
    progress.update("iterations", 0.5);
  }
  EXPECT_EQ(drain(pipeEnds[0]), "");
  close(pipeEnds[0]);
  close(pipeEnds[1]);

  int master = -1, slave = -1;
  if (openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) GTEST_SKIP() << "no pty here";
  ASSERT_EQ(fcntl(master, F_SETFL, O_NONBLOCK), 0);
  {
    ConsoleProgress progress(slave, std::chrono::hours(1));
    progress.update("iterations", 0.5);
  }
  EXPECT_EQ(drain(master), "");
  close(master);
  close(slave);
}

}  // namespace
