// Runs the built tessel binary in a fresh temporary directory with given
// arguments, standard input and files, and captures every output byte:
// standard output, standard error, the run log, the work file and the exit
// status (or the terminating signal).
#ifndef TESSEL_TESTS_E2E_RUN_BINARY_H_
#define TESSEL_TESTS_E2E_RUN_BINARY_H_

#include <sys/types.h>

#include <map>
#include <string>
#include <vector>

// Marks a file that the run did not create.
extern const char kAbsent[];

struct RunResult {
  std::string out;
  std::string err;
  std::string log;   // kAbsent when TSLog.txt does not exist
  std::string work;  // kAbsent when tessel_temp.txt does not exist
  int status = -1;   // exit status, or 128 + signal
};

struct RunSetup {
  std::vector<std::string> args;             // after the program path
  std::string input;                         // standard input bytes
  std::map<std::string, std::string> files;  // created in the directory first;
                                             // a name ending in "/" is a directory
  std::map<std::string, std::string> links;  // symbolic links made there: name, target
  std::string argv0;                         // program name shown; empty: the path
  std::vector<std::string> env;              // extra NAME=value settings
  std::string stdinFile;                     // when set, standard input is this
                                             // file of the directory instead
  std::string stdoutPath;                    // when set, standard output goes to
                                             // this path (e.g. /dev/full)
  long fileSizeLimit = 0;                    // when set, the files the program
                                             // writes stop at this many bytes
                                             // (standard output is piped past it)
  long addressSpaceLimit = 0;                // when set, RLIMIT_AS in bytes
};

// Setups with the table in the file in.csv, or on standard input.
RunSetup fileRun(std::vector<std::string> args, const std::string& table);
RunSetup stdinRun(std::vector<std::string> args, const std::string& input);

// n rows of x,y,rate,weight as plain decimals: points of the given kind
// (uniform, grid, clustered, line or coincident), random rates, weights 1 to 50.
std::string pointTable(const std::string& kind, int n);

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

// Lower-level pieces for runs that share one directory: startTessel creates
// the setup's files and starts the program in `dir` with its standard
// streams in files named after `tag`; finishTessel waits for it and collects
// the result (log and work file as they are at that moment).
pid_t startTessel(const std::string& dir, const RunSetup& setup, const std::string& tag,
                  const std::string& programPath = TESSEL_BINARY);
RunResult finishTessel(pid_t pid, const std::string& dir, const std::string& tag);

// Reads a whole regular file; kAbsent when there is none.
std::string readFileBytes(const std::string& path);
void writeFileBytes(const std::string& path, const std::string& bytes);

#endif  // TESSEL_TESTS_E2E_RUN_BINARY_H_
