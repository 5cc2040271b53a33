// Runs the built tessel binary in a temporary directory with given
// arguments, files and standard input, and captures every output byte:
// standard output, standard error, the run log, the work file and the exit
// status (or the terminating signal).
#ifndef TESSEL_TESTS_E2E_RUN_BINARY_H_
#define TESSEL_TESTS_E2E_RUN_BINARY_H_

#include <map>
#include <string>
#include <utility>
#include <vector>

// Marks a file that the run did not create.
extern const char kAbsent[];

// Three points of a right triangle: no pair is near a straight line, so no
// point gets a triple and every value stays its rate.
inline constexpr char kTriangle[] = "0,0,0.5,1\n1,0,0.25,2\n0,1,0.125,3\n";
inline constexpr char kTriangleValues[] = "0.500000\n0.250000\n0.125000\n";

struct RunResult {
  std::string out;  // "" when standard output went to stdoutPath
  std::string err;
  std::string log;   // kAbsent when TSLog.txt does not exist
  std::string work;  // kAbsent when tessel_temp.txt does not exist
  int status = -1;   // exit status, or 128 + signal
};

struct RunSetup {
  std::vector<std::string> args;             // after the program name
  std::map<std::string, std::string> files;  // created in the directory first
  std::map<std::string, std::string> links;  // symbolic links made there: name, target
  std::vector<std::string> dirs;             // directories made there
  std::string stdinFile = "/dev/null";       // standard input, a path seen from the directory
  std::string stdoutPath;                    // when set, standard output goes there instead
  std::string argv0;                         // program name shown; empty: the path
  std::vector<std::string> env;              // extra NAME=value settings
  long fileSizeLimit = 0;      // when set, RLIMIT_FSIZE in bytes, SIGXFSZ ignored (standard
                               // output is a pipe, which the limit does not reach)
  std::string dir;             // when set, the directory to run in instead of a fresh one
  long addressSpaceLimit = 0;  // when set, RLIMIT_AS in bytes
  std::vector<int> closedFds;  // standard descriptors closed before the start
  int uid = -1;                // when set, the user (and group gid) to run as
  int gid = -1;
  int dirMode = -1;  // when set, the run's directory gets this mode (and the user uid)
                     // once its files are made
  int stdinHoldMilliseconds = -1;  // when set, standard input is a pipe that gets the
                                   // stdinFile's bytes, then stays open this long
  int timeLimitSeconds = 0;        // when set, the run is ended by SIGALRM after this long: a
                                   // hang shows as the status 128 + SIGALRM
  // The setup with one more file, one more link, standard input from path,
  // or standard descriptors closed.
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

// The setup after change(setup).
template <class Change>
RunSetup with(RunSetup setup, Change change) {
  change(setup);
  return setup;
}

// The rows of n points of one of the benchmark's layouts (uniform, towns,
// outlier, skewed, line, lattice, shared), as bench/make_points writes
// them after its header row: plain decimals, integer weights.
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

// Reads a whole regular file; kAbsent when there is none (a FIFO is not
// opened).
std::string readFileBytes(const std::string& path);

#endif  // TESSEL_TESTS_E2E_RUN_BINARY_H_
