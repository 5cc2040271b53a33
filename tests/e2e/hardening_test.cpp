// Hardening of the whole program: every allocation made to fail in turn,
// runs that take turns in a shared directory, an ordinary user's runs where
// the log or the lock cannot be had, memory refused while reading, no
// regular file in the work file's place, and the work file's name taken
// over between its writing and its reading back. (The work file as input
// and planted links are in the program's table.)
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <regex>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "e2e/run_binary.h"

namespace {

// The engine's out-of-memory stop, the whole of standard output.
const char kOutOfMemoryReport[] =
    "\nERROR:   Out of memory.\n         Memory Allocation Error\n"
    "         Unload any memory resident programs and try again.\n\n"
    "         PRESS ANY KEY TO CONTINUE";

// A memory exception as the driver reports it: the library's message, then
// one "operation of class" line per trace entry, or a standard allocation's
// plain message; nothing else.
const std::regex kMemoryExceptionReport(
    "ERROR : Out of memory - tried to allocate [0-9]+ bytes\\.\n([^\n]+ of Ov[A-Za-z]+\n)*|"
    "ERROR : Out of memory\n");

// A failed allocation must end the run in one of the two reported ways, with
// nothing on standard output but what the normal run wrote before it, and
// nothing more on standard error (such as a leak report): the engine's
// out-of-memory stop (report, then abort), or a library memory exception
// reported on standard error with exit status 1.
void expectReportedFailure(const RunResult& r, const RunResult& normal, int k) {
  SCOPED_TRACE("k=" + std::to_string(k) + "\n" + r.out + "\n" + r.err);
  const std::string report = kOutOfMemoryReport;
  const bool stopped = r.status == 128 + SIGABRT;
  if (stopped) {
    ASSERT_GE(r.out.size(), report.size());
    EXPECT_EQ(r.out.substr(r.out.size() - report.size()), report);
    EXPECT_EQ(r.err, "");
  } else {
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(std::regex_match(r.err, kMemoryExceptionReport));
  }
  const size_t before = r.out.size() - (stopped ? report.size() : 0);
  EXPECT_EQ(normal.out.substr(0, before), r.out.substr(0, before));
}

// Fails allocation k for k = 0, 1, 2, ... until ten runs in a row no longer
// reach a failing allocation (a refused worker thread only leaves its work
// to the others, so a failure can also pass unseen); such runs must match
// the normal run byte for byte.
TEST(AllocationFailure, EveryAllocationFailsCleanly) {
  // The last has enough points for every phase to run on several workers,
  // whose own allocations fail too; the third has no points.
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
    std::printf("[ injected ] %d allocations failed in turn\n", injected);
  }
}

// A setup of the ordinary user nobody in a run directory of `mode` that
// nobody owns.
RunSetup asNobody(RunSetup setup, int mode) {
  setup.uid = setup.gid = 65534;
  setup.dirMode = mode;
  return setup;
}

// Whether nobody can run the program here: the tests run as root, and no
// directory above the program bars others (as a private home does).
bool nobodyCanRun() {
  return geteuid() == 0 && runTessel(asNobody(stdinRun({"-?"}, ""), 0700)).status == 0;
}

// Runs in a directory that nobody can write and search but not read (a drop
// box), where "." cannot be opened for its lock: a run from standard input
// held open for seconds, and a run from a file started meanwhile, by nobody
// or by root, each give what they give alone.
TEST(SharedDirectory, RunsTakeTurnsInADirectoryTheyCannotRead) {
  if (!nobodyCanRun()) GTEST_SKIP() << "needs root, and the program where nobody can run it";
  std::string fields = pointTable("uniform", 300);  // as standard input takes them
  std::replace(fields.begin(), fields.end(), ',', '\n');
  RunSetup held = asNobody(stdinRun({}, fields), 0300);
  held.stdinHoldMilliseconds = 3000;
  const RunSetup file = asNobody(fileRun({"-f", "in.csv"}, pointTable("lattice", 300)), 0300);
  const RunResult solo[2] = {
      runTessel(with(held, [](RunSetup& s) { s.stdinHoldMilliseconds = 0; })), runTessel(file)};
  ASSERT_TRUE(solo[0].status == 0 && solo[1].status == 0) << solo[0].err << solo[1].err;
  ASSERT_NE(solo[0].out, solo[1].out);
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
}

// An ordinary user's runs where the log cannot be made (the directory is
// read-only, or TSLog.txt is another user's and read-only: its old bytes
// stay), and where no lock can be taken at all (a directory it can only
// search): refused before anything is made.
TEST(Permissions, LogAndLockRefusedToAnOrdinaryUser) {
  if (!nobodyCanRun()) GTEST_SKIP() << "needs root, and the program where nobody can run it";
  const char kNoLog[] = "ERROR : Couldn't create log file TSLog.txt\n", kOld[] = "an old table\n";
  const auto in = [](int mode) { return asNobody(fileRun({"-f", "in.csv"}, kTriangle), mode); };
  const struct {
    const char* name;
    RunSetup setup;
    std::string out, err, log, work;
  } cases[] = {{"read-only directory", in(0500), "", kNoLog, kAbsent, kAbsent},
               {"another user's log", in(0700).file("TSLog.txt", kOld), kTriangleValues, kNoLog,
                kOld, kTriangle},
               {"search-only directory", in(0100), "",
                "ERROR : Couldn't lock the current directory\n", kAbsent, kAbsent}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const RunResult r = runTessel(c.setup);
    EXPECT_EQ(r.err.substr(0, c.err.size()), c.err);
    EXPECT_TRUE(r.out == c.out && r.log == c.log && r.work == c.work && r.status == 1);
  }
}

// The address-space limit leaves the sanitizers' shadow memory no room.
#if defined(__SANITIZE_ADDRESS__)
#define TESSEL_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TESSEL_UNDER_ASAN 1
#endif
#endif

// A line longer than the memory left: the read is refused for memory, from
// either source, and nothing is smoothed.
TEST(ReadingMemory, ALineBeyondTheMemoryLeftIsOutOfMemory) {
#ifdef TESSEL_UNDER_ASAN
  GTEST_SKIP() << "an address-space limit cannot be set under AddressSanitizer";
#endif
  const std::string line = std::string(50000000 - 1, '1') + "\n";
  for (RunSetup setup : {fileRun({"-f", "in.csv"}, line), stdinRun({}, line)}) {
    setup.addressSpaceLimit = 60000L * 1024;
    const RunResult r = runTessel(setup);
    EXPECT_TRUE(r.out == "" && r.log == "" && r.work == "" && r.status == 1);
    EXPECT_EQ(r.err, "ERROR : Out of memory\n");
  }
}

// No regular file in the work file's place (a FIFO, whose open for writing
// would wait for a reader; a null device, where one can be made): the run
// refuses it as it is, without waiting, and so does the next run in the
// same directory, which would otherwise wait for the first one's lock.
TEST(WorkFile, NoRegularFileIsRefused) {
  const struct {
    const char* name;
    mode_t mode;
    dev_t device;
  } planted[] = {{"FIFO", S_IFIFO | 0666, 0}, {"null device", S_IFCHR | 0666, makedev(1, 3)}};
  for (const auto& node : planted) {
    SCOPED_TRACE(node.name);
    TempDir dir;
    const std::string work = dir.path() + "/tessel_temp.txt";
    struct stat before;
    if (mknod(work.c_str(), node.mode, node.device) != 0) {
      std::printf("[ skipped  ] no %s can be made here\n", node.name);
      continue;
    }
    ASSERT_EQ(lstat(work.c_str(), &before), 0);
    RunSetup setup = fileRun({"-f", "in.csv"}, kTriangle);
    setup.dir = dir.path();
    setup.timeLimitSeconds = 30;
    for (const char* run : {"first run", "second run"}) {
      SCOPED_TRACE(run);
      const RunResult r = runTessel(setup);
      // Output, error, log, status (128 + SIGALRM: it waited).
      EXPECT_EQ(std::make_tuple(r.out, r.err, r.log, r.status),
                std::make_tuple("", "ERROR : Couldn't create work file tessel_temp.txt\n", "", 1));
    }
    // What was planted stays as it was: the same file, of the same kind.
    struct stat now;
    EXPECT_TRUE(lstat(work.c_str(), &now) == 0 && now.st_ino == before.st_ino &&
                now.st_mode == before.st_mode && now.st_rdev == before.st_rdev);
  }
}

// Sends `signal` to the processes whose working directory is `dir`.
void signalProcessesIn(const std::string& dir, int signal) {
  std::error_code error;  // a process may end meanwhile
  const std::filesystem::path wanted = std::filesystem::canonical(dir, error);
  for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
    const std::string pid = entry.path().filename();
    if (pid.find_first_not_of("0123456789") == std::string::npos &&
        std::filesystem::read_symlink(entry.path() / "cwd", error) == wanted && !error) {
      kill(std::stoi(pid), signal);
    }
  }
}

// The work file's name taken over by a symbolic link to another file of
// three points after the run has written the work file and before it reads
// it back: the run smooths the rows it wrote. strace stops the run (SIGSTOP)
// as it closes the stream its rows went through; only once the stop is in
// strace's trace is the link put in place, and only then is the run let go
// on, so the link is always there before the reading back.
TEST(WorkFile, ANameTakenOverBeforeTheReadingBackIsNotRead) {
  if (std::system("strace -qqq -o /dev/null true 2>/dev/null") != 0) {
    GTEST_SKIP() << "strace is missing or cannot trace here (tools/install-deps installs it)";
  }
  TempDir dir, traceDir;
  const std::string work = dir.path() + "/tessel_temp.txt";
  const std::string trace = traceDir.path() + "/trace";
  const char kOther[] = "0,0,9,1\n1,0,8,2\n0,1,7,3\n";
  RunSetup setup =
      fileRun({"-qqq", "-o", trace, "-P", work, "-e", "trace=close", "-e",
               "inject=close:signal=SIGSTOP:when=1", "--", TESSEL_BINARY, "-f", "in.csv"},
              kTriangle)
          .file("other.csv", kOther);
  setup.dir = dir.path();
  // LeakSanitizer cannot run under a tracer.
  const char* sanitizerOptions = std::getenv("ASAN_OPTIONS");
  setup.env.push_back(std::string("ASAN_OPTIONS=") +
                      (sanitizerOptions != nullptr ? std::string(sanitizerOptions) + ":" : "") +
                      "detect_leaks=0");
  std::future<RunResult> running =
      std::async(std::launch::async, [&] { return runTessel(setup, "strace"); });
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + std::chrono::seconds(30);
  const std::chrono::milliseconds poll(20);
  bool stopped = false;
  while (!stopped && Clock::now() < deadline &&
         running.wait_for(poll) != std::future_status::ready) {
    stopped = readFileBytes(trace).find("--- stopped by SIGSTOP ---") != std::string::npos;
  }
  if (stopped) {
    EXPECT_EQ(std::rename(work.c_str(), (dir.path() + "/written.txt").c_str()), 0);
    EXPECT_EQ(symlink("other.csv", work.c_str()), 0);
  }
  // Let it go on (strace, working in the same directory, takes SIGCONT as a
  // no-op); a run still there 30 s after the deadline is ended.
  while (running.wait_for(poll) != std::future_status::ready) {
    signalProcessesIn(dir.path(),
                      Clock::now() < deadline + std::chrono::seconds(30) ? SIGCONT : SIGKILL);
  }
  const RunResult r = running.get();
  ASSERT_TRUE(stopped) << "the run was not stopped after writing the work file:\n"
                       << readFileBytes(trace) << r.err;
  EXPECT_EQ(std::make_tuple(r.out, r.err, r.status), std::make_tuple(kTriangleValues, "", 0));
  EXPECT_EQ(readFileBytes(dir.path() + "/written.txt"), kTriangle) << "the work file";
  EXPECT_EQ(readFileBytes(dir.path() + "/other.csv"), kOther);
}

}  // namespace
