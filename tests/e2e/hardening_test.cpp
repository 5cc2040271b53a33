// Hardening of the whole program: every allocation made to fail in turn,
// runs taking turns in a shared directory, a directory where no lock can be
// had, memory refused while reading, and the work file's name taken over
// before its reading back.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <regex>
#include <string>
#include <thread>
#include <tuple>

#include "e2e/run_binary.h"

namespace {

// A failed allocation ends the run in one of two ways, with standard output
// a prefix of the normal run's: the engine's out-of-memory report, then an
// abort, with nothing on standard error (such as a leak report); or a
// memory exception reported on standard error (the library's message and
// its trace, or a standard allocation's plain message) with status 1.
void expectReportedFailure(const RunResult& r, const RunResult& normal, int k) {
  SCOPED_TRACE("k=" + std::to_string(k) + "\n" + r.out + "\n" + r.err);
  const std::string report =
      "\nERROR:   Out of memory.\n         Memory Allocation Error\n"
      "         Unload any memory resident programs and try again.\n\n"
      "         PRESS ANY KEY TO CONTINUE";
  const bool stopped = r.status == 128 + SIGABRT;
  if (stopped) {
    ASSERT_GE(r.out.size(), report.size());
    EXPECT_EQ(r.out.substr(r.out.size() - report.size()) + r.err, report);
  } else {
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(std::regex_match(
        r.err, std::regex("ERROR : Out of memory - tried to allocate [0-9]+ bytes\\.\n"
                          "([^\n]+ of Ov[A-Za-z]+\n)*|ERROR : Out of memory\n")));
  }
  const size_t before = r.out.size() - (stopped ? report.size() : 0);
  EXPECT_EQ(normal.out.substr(0, before), r.out.substr(0, before));
}

// Fails allocation k for k = 0, 1, 2, ... until ten runs in a row reach no
// failing allocation (a refused worker thread only leaves its work to the
// others, so a failure can pass unseen); those runs match the normal run.
TEST(AllocationFailure, EveryAllocationFailsCleanly) {
  // The last has enough points for every phase to run on several workers.
  const RunSetup runs[] = {fileRun({"-r", "-m", "NA", "-n", "3", "-i", "2", "-f", "in.csv"},
                                   "x,y,r,w\n0,0,1,1\nNA,1,1,1\n1,0,5,1\n2,0,2,2\n0,1,3,1\n"),
                           stdinRun({}, "0\n0\n1\n1\n1\n0\n5\n1\n2\n0\n2\n2\n"),
                           fileRun({"-r", "-f", "in.csv"}, "x,y,r,w\n"),
                           fileRun({"-f", "in.csv"}, pointTable("uniform", 1100))};
  for (const RunSetup& base : runs) {
    const RunResult normal = runTessel(base);
    ASSERT_EQ(normal.status, 0) << normal.err;
    int injected = 0;
    for (int k = 0, clean = 0; clean < 10 && !::testing::Test::HasFailure(); ++k) {
      ASSERT_LT(k, 20000) << "the run never completed";
      RunSetup setup = base;
      setup.env.push_back("TESSEL_FAIL_AT=" + std::to_string(k));
      const RunResult r = runTessel(setup, TESSEL_FAULTY_BINARY);
      const bool same = r.status == normal.status && r.out == normal.out && r.err == normal.err;
      EXPECT_TRUE(!same || (r.log == normal.log && r.work == normal.work)) << k;
      if (!same) expectReportedFailure(r, normal, k);
      clean = same ? clean + 1 : 0;
      injected += !same;
    }
    EXPECT_GT(injected, 0) << base.args.size();
  }
}

// The setup run by the ordinary user nobody in a directory of `mode` that
// nobody owns.
RunSetup asNobody(RunSetup setup, int mode) {
  setup.uid = setup.gid = 65534;
  setup.dirMode = mode;
  return setup;
}

// Whether nobody can run the program here: the tests run as root, and no
// directory above the program bars others.
bool nobodyCanRun() {
  return geteuid() == 0 && runTessel(asNobody(stdinRun({"-?"}, ""), 0700)).status == 0;
}

// In a directory that nobody can write and search but not read, "." cannot
// be opened for its lock: a run from standard input held open for seconds
// and a run from a file started meanwhile, by nobody or by root, each give
// what they give alone.
TEST(SharedDirectory, RunsTakeTurnsInADirectoryTheyCannotRead) {
  if (!nobodyCanRun()) GTEST_SKIP() << "needs root, and the program where nobody can run it";
  std::string fields = pointTable("uniform", 300);  // as standard input takes them
  std::replace(fields.begin(), fields.end(), ',', '\n');
  RunSetup held = asNobody(stdinRun({}, fields), 0300);
  const RunSetup file = asNobody(fileRun({"-f", "in.csv"}, pointTable("lattice", 300)), 0300);
  const RunResult solo[2] = {runTessel(held), runTessel(file)};
  ASSERT_TRUE(solo[0].status == 0 && solo[1].status == 0) << solo[0].err << solo[1].err;
  ASSERT_NE(solo[0].out, solo[1].out);
  held.stdinHoldMilliseconds = 3000;
  for (bool secondAsRoot : {false, true}) {
    SCOPED_TRACE(secondAsRoot ? "the file run as root" : "both runs as nobody");
    TempDir dir;
    RunSetup first = held, second = file;
    first.dir = second.dir = dir.path();
    second.dirMode = -1;  // the first run's setup gives the directory away
    if (secondAsRoot) second.uid = second.gid = -1;
    std::future<RunResult> late = std::async(std::launch::async, [&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(1000));
      return runTessel(second);
    });
    const RunResult together[2] = {runTessel(first), late.get()};
    for (int k = 0; k < 2; ++k) {
      EXPECT_TRUE(together[k].err == "" && together[k].status == 0 &&
                  together[k].out == solo[k].out)
          << "run " << k << " differs from its solo run: " << together[k].err;
    }
    // The file run came second.
    EXPECT_TRUE(together[1].log == solo[1].log && together[1].work == solo[1].work);
  }
  // A directory that nobody can only search: no lock, and nothing made.
  const RunResult r = runTessel(asNobody(fileRun({"-f", "in.csv"}, kTriangle), 0100));
  EXPECT_EQ(
      std::make_tuple(r.out, r.err, r.log, r.work, r.status),
      std::make_tuple("", "ERROR : Couldn't lock the current directory\n", kAbsent, kAbsent, 1));
}

// A line longer than the memory left (an address-space limit, which leaves
// AddressSanitizer no room): refused for memory from either source.
#ifndef __has_feature
#define __has_feature(feature) 0
#endif
TEST(ReadingMemory, ALineBeyondTheMemoryLeftIsOutOfMemory) {
#if defined(__SANITIZE_ADDRESS__) || __has_feature(address_sanitizer)
  GTEST_SKIP() << "an address-space limit cannot be set under AddressSanitizer";
#endif
  const std::string line = std::string(50000000 - 1, '1') + "\n";
  for (RunSetup setup : {fileRun({"-f", "in.csv"}, line), stdinRun({}, line)}) {
    setup.addressSpaceLimit = 60000L * 1024;
    const RunResult r = runTessel(setup);
    EXPECT_EQ(std::make_tuple(r.out, r.err, r.log, r.work, r.status),
              std::make_tuple("", "ERROR : Out of memory\n", "", "", 1));
  }
}

// The work file's name taken over by a link to another table after the run
// has written the work file and before it reads it back: the run smooths
// the rows it wrote. strace stops the run (SIGSTOP) as it closes the stream
// its rows went through; once the stop is in the trace, the link is put in
// place, and only then is the run let go on.
TEST(WorkFile, ANameTakenOverBeforeTheReadingBackIsNotRead) {
  if (std::system("strace -qqq -o /dev/null true 2>/dev/null") != 0) {
    GTEST_SKIP() << "strace is missing or cannot trace here (tools/install-deps installs it)";
  }
  TempDir dir;
  const std::string work = dir.path() + "/tessel_temp.txt", trace = dir.path() + "/trace";
  const char kOther[] = "0,0,9,1\n1,0,8,2\n0,1,7,3\n";
  RunSetup setup =
      fileRun({"-qqq", "-o", trace, "-P", work, "-e", "trace=close", "-e",
               "inject=close:signal=SIGSTOP:when=1", "--", TESSEL_BINARY, "-f", "in.csv"},
              kTriangle)
          .file("other.csv", kOther);
  setup.dir = dir.path();
  setup.env.push_back("ASAN_OPTIONS=detect_leaks=0");  // LeakSanitizer cannot run traced
  std::atomic<int> pid{0};
  setup.pid = &pid;
  std::future<RunResult> running =
      std::async(std::launch::async, [&] { return runTessel(setup, "strace"); });
  const std::chrono::milliseconds poll(20);
  bool stopped = false;
  for (int polls = 0;
       !stopped && polls < 1500 && running.wait_for(poll) != std::future_status::ready; ++polls) {
    stopped = readFileBytes(trace).find("--- stopped by SIGSTOP ---") != std::string::npos;
  }
  if (stopped) {
    EXPECT_EQ(std::rename(work.c_str(), (dir.path() + "/written.txt").c_str()), 0);
    EXPECT_EQ(symlink("other.csv", work.c_str()), 0);
  }
  // Let it go on (strace takes SIGCONT as a no-op); a run still there a
  // minute later is ended.
  for (int polls = 0; running.wait_for(poll) != std::future_status::ready; ++polls)
    if (pid > 0) kill(-pid, polls < 3000 ? SIGCONT : SIGKILL);
  const RunResult r = running.get();
  ASSERT_TRUE(stopped) << "the run was not stopped after writing the work file:\n"
                       << readFileBytes(trace) << r.err;
  EXPECT_EQ(std::make_tuple(r.out, r.err, r.status), std::make_tuple(kTriangleValues, "", 0));
  EXPECT_EQ(readFileBytes(dir.path() + "/written.txt"), kTriangle) << "the work file";
}

}  // namespace
