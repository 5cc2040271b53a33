// Runs the built tessel binary in a fresh temporary directory with given
// arguments, standard input and files, and captures every output byte:
// standard output, standard error, the run log, the work file and the exit
// status (or the terminating signal).
#ifndef TESSEL_TESTS_E2E_RUN_BINARY_H_
#define TESSEL_TESTS_E2E_RUN_BINARY_H_

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
  std::string argv0;                         // program name shown; empty: the path
};

RunResult runTessel(const RunSetup& setup, const std::string& programPath = TESSEL_BINARY);

// Reads a whole file; kAbsent when it cannot be opened.
std::string readFileBytes(const std::string& path);

#endif  // TESSEL_TESTS_E2E_RUN_BINARY_H_
