// Runs the built tessel binary in a temporary directory with given
// arguments, files and standard input, and captures every output byte:
// standard output, standard error, the run log, the work file and the exit
// status (or the terminating signal).
#ifndef TESSEL_TESTS_E2E_RUN_BINARY_H_
#define TESSEL_TESTS_E2E_RUN_BINARY_H_

#include <atomic>
#include <map>
#include <string>
#include <utility>
#include <vector>

// Marks a file that the run did not create.
extern const char kAbsent[];

// A right triangle: no point gets a triple, so every value stays its rate.
inline constexpr char kTriangle[] = "0,0,0.5,1\n1,0,0.25,2\n0,1,0.125,3\n";
inline constexpr char kTriangleValues[] = "0.500000\n0.250000\n0.125000\n";

struct RunResult {
  std::string out;             // "" when standard output went to stdoutPath
  std::string err, log, work;  // log (TSLog.txt), work (tessel_temp.txt): kAbsent when none
  int status = -1;             // exit status, or 128 + signal
};

// Every setting but args, files and the hang bound is off when left as it is.
struct RunSetup {
  std::vector<std::string> args;             // after the program name
  std::map<std::string, std::string> files;  // created in the directory first
  std::map<std::string, std::string> links;  // symbolic links made there: name, target
  std::vector<std::string> dirs, fifos;      // directories and FIFOs made there
  std::string stdinFile = "/dev/null";       // a path seen from the directory
  std::string stdoutPath;                    // standard output goes there instead
  std::string argv0;                         // the program name shown instead of the path
  std::vector<std::string> env;              // extra NAME=value settings
  long fileSizeLimit = 0;      // RLIMIT_FSIZE in bytes, SIGXFSZ ignored (not for the stdout pipe)
  std::string dir;             // the directory to run in instead of a fresh one
  long addressSpaceLimit = 0;  // RLIMIT_AS in bytes
  std::vector<int> closedFds;  // standard descriptors closed before the start
  int uid = -1, gid = -1;      // the user and group to run as
  int dirMode = -1;            // the directory's mode (and owner uid) once its files are made
  int stdinHoldMilliseconds = -1;   // standard input a pipe that stays open this long after
                                    // the stdinFile's bytes
  std::atomic<int>* pid = nullptr;  // gets the run's process id, which leads a group of its own
  int timeLimitSeconds = 60;        // hang bound: SIGALRM, the status 128 + SIGALRM
  RunSetup& file(const std::string& name, const std::string& bytes) {
    return files[name] = bytes, *this;
  }
  RunSetup& link(const std::string& name, const std::string& to) { return links[name] = to, *this; }
  RunSetup& input(const std::string& path) { return stdinFile = path, *this; }
  RunSetup& closing(std::vector<int> fds) { return closedFds = std::move(fds), *this; }
};

// Setups with the table in the file in.csv, or on standard input.
RunSetup fileRun(std::vector<std::string> args, const std::string& table);
RunSetup stdinRun(std::vector<std::string> args, const std::string& input);

template <class Change>
RunSetup with(RunSetup setup, Change change) {
  change(setup);
  return setup;
}

// The rows of n points of a layout of bench/make_points (uniform, lattice,
// line...) as it writes them after its header row.
std::string pointTable(const std::string& layout, int n);

// A program name without a slash is looked for on PATH.
RunResult runTessel(const RunSetup& setup, const std::string& programPath = TESSEL_BINARY);

// A temporary directory, removed with everything in it when destroyed.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return dir; }

 private:
  std::string dir;
};

// A whole regular file; kAbsent when there is none (a FIFO is not opened).
std::string readFileBytes(const std::string& path);

#endif  // TESSEL_TESTS_E2E_RUN_BINARY_H_
