// libFuzzer target for the whole program in-process: each input is a
// program case (see program_case.h), run through runProgram with the table
// as "in.csv" and as standard input. The run's exit status and result table
// are checked; a crash, a sanitizer report, a leak or a hang is a finding.
//
// The program writes its log and work file into the current directory, so
// the target works in a private temporary directory that it enters once at
// start-up and removes at exit. libFuzzer's own paths (corpus directories,
// artifacts) are made absolute first, so they still name the caller's files.
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "frontend/driver.h"
#include "fuzz/program_case.h"

namespace {

std::string workDirectory;
std::vector<std::string> rewrittenArgs;
std::vector<char*> rewrittenArgv;

const char* const kRunFiles[] = {program_case::kInputName, program_case::kWorkName, "TSLog.txt",
                                 "out.txt"};

void removeWorkDirectory() {
  if (workDirectory.empty()) return;
  for (const char* name : kRunFiles) unlink((workDirectory + "/" + name).c_str());
  rmdir(workDirectory.c_str());
}

bool startsWith(const std::string& text, const char* prefix) {
  return text.compare(0, std::strlen(prefix), prefix) == 0;
}

std::string absolute(const std::string& cwd, const std::string& path) {
  if (path.empty() || path[0] == '/') return path;
  return cwd + "/" + path;
}

// Rewrites relative paths among libFuzzer's arguments to absolute ones and
// makes sure crash artifacts go to the caller's directory, not ours.
void absolutePaths(int* argc, char*** argv) {
  char buffer[PATH_MAX];
  if (getcwd(buffer, sizeof buffer) == nullptr) return;
  std::string cwd = buffer;
  const char* const pathFlags[] = {
      "-artifact_prefix=",    "-exact_artifact_path=", "-dict=",
      "-merge_control_file=", "-features_dir=",        "-data_flow_trace="};
  bool artifactPrefix = false;
  for (int i = 0; i < *argc; ++i) {
    std::string arg = (*argv)[i];
    if (i > 0 && !arg.empty() && arg[0] != '-') {
      arg = absolute(cwd, arg);
    } else {
      for (const char* flag : pathFlags) {
        if (startsWith(arg, flag)) {
          size_t at = std::strlen(flag);
          arg = flag + absolute(cwd, arg.substr(at));
          if (std::strcmp(flag, "-artifact_prefix=") == 0) artifactPrefix = true;
        }
      }
    }
    rewrittenArgs.push_back(arg);
  }
  if (!artifactPrefix) rewrittenArgs.push_back("-artifact_prefix=" + cwd + "/");
  for (std::string& arg : rewrittenArgs) rewrittenArgv.push_back(&arg[0]);
  rewrittenArgv.push_back(nullptr);
  *argc = static_cast<int>(rewrittenArgs.size());
  *argv = rewrittenArgv.data();
}

std::string readFile(const char* name) {
  std::ifstream in(name, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  absolutePaths(argc, argv);
  char dir[] = "/tmp/tessel-fuzz-XXXXXX";
  if (mkdtemp(dir) == nullptr || chdir(dir) != 0) {
    std::perror("tessel fuzz: temporary directory");
    std::exit(1);
  }
  workDirectory = dir;
  std::atexit(removeWorkDirectory);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > program_case::kMaxCaseSize) return 0;
  program_case::ProgramCase c = program_case::decodeProgramCase(data, size);

  for (const char* name : kRunFiles) unlink(name);
  {
    std::ofstream table(program_case::kInputName, std::ios::binary);
    table << c.input;
  }
  if (c.source == program_case::Source::kWorkFile) {
    std::ofstream table(program_case::kWorkName, std::ios::binary);
    table << c.input;
  }
  if (std::freopen(program_case::kInputName, "r", stdin) == nullptr ||
      std::freopen("out.txt", "w", stdout) == nullptr) {
    std::perror("tessel fuzz: redirection");
    std::abort();
  }

  std::vector<std::string> args = c.args;
  args.insert(args.begin(), "tessel");
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(&arg[0]);
  argv.push_back(nullptr);
  int status = runProgram(static_cast<int>(args.size()), argv.data());

  std::fflush(stdout);
  std::string failure = program_case::checkProgramResult(c, status, readFile("out.txt"));
  if (!failure.empty()) {
    std::fprintf(stderr, "program case failed: %s\n", failure.c_str());
    std::abort();
  }
  return 0;
}
