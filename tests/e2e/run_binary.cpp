#include "e2e/run_binary.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

const char kAbsent[] = "<absent>";

std::string readFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!std::filesystem::is_regular_file(path) || !in) return kAbsent;
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void writeFileBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

TempDir::TempDir() {
  char dirTemplate[] = "/tmp/tessel-e2e-XXXXXX";
  if (mkdtemp(dirTemplate) == nullptr) throw std::runtime_error("mkdtemp failed");
  dir = dirTemplate;
}

TempDir::~TempDir() {
  std::error_code ignored;  // leftover temporary files are harmless
  std::filesystem::remove_all(dir, ignored);
}

RunSetup fileRun(std::vector<std::string> args, const std::string& table) {
  RunSetup s = stdinRun(std::move(args), "");
  s.files["in.csv"] = table;
  return s;
}

RunSetup stdinRun(std::vector<std::string> args, const std::string& input) {
  RunSetup s;
  s.args = std::move(args);
  s.input = input;
  return s;
}

std::string pointTable(const std::string& kind, int n) {
  std::mt19937_64 random(static_cast<uint64_t>(n) + kind.size());
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  std::string table;
  for (int k = 0; k < n; ++k) {
    const double rate = unit(random) * 100.0, weight = 1 + k % 50, a = unit(random), b = unit(random);
    double x = a * 1000.0, y = b * 1000.0;  // uniform
    if (kind == "grid") x = k % 50, y = k / 50;
    if (kind == "clustered") x = (k % 4) * 100 + a * 0.01, y = (k % 3) * 100 + b * 0.01;
    if (kind == "line") x = k * 0.5, y = k * 0.25;
    if (kind == "coincident") x = k % 9, y = k % 4;  // 36 shared places
    if (kind == "outlier" && k == n / 2) x = 1e7, y = -1e7;
    const double side = k % 1000 == 7 ? 1e6 : 1e-3;
    if (kind == "skewed") x = a * side, y = b * side;
    // Towns of different spreads around different places.
    if (kind == "towns") x = (k % 7) * 97 + a * a * (1 << k % 5), y = (k % 5) * 89 + b * b * (1 << k % 7);
    char line[160];
    std::snprintf(line, sizeof line, "%.6f,%.6f,%.3f,%.0f\n", x, y, rate, weight);
    table += line;
  }
  return table;
}

namespace {

int exitStatus(int wstatus) { return WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus); }

void setLimit(int resource, long bytes) {
  const rlimit limit = {static_cast<rlim_t>(bytes), static_cast<rlim_t>(bytes)};
  if (setrlimit(resource, &limit) != 0) _exit(127);
}

// In the started child: the files the program writes may not grow past
// `bytes`, and a write that would fails (SIGXFSZ ignored). Standard output
// reaches its file through a pipe and a copying process that stays outside
// the limit and exits with the program's status (128 + signal).
void limitFileSize(long bytes) {
  int ends[2];
  if (pipe(ends) != 0) _exit(127);
  pid_t program = fork();
  if (program < 0) _exit(127);
  if (program > 0) {
    close(ends[1]);
    char chunk[4096];
    for (ssize_t n; (n = read(ends[0], chunk, sizeof chunk)) > 0;) {
      if (write(1, chunk, static_cast<size_t>(n)) != n) _exit(127);
    }
    int wstatus = 0;
    waitpid(program, &wstatus, 0);
    _exit(exitStatus(wstatus));
  }
  dup2(ends[1], 1);
  close(ends[0]);
  close(ends[1]);
  signal(SIGXFSZ, SIG_IGN);
  setLimit(RLIMIT_FSIZE, bytes);
}

}  // namespace

pid_t startTessel(const std::string& dir, const RunSetup& setup, const std::string& tag,
                  const std::string& programPath) {
  for (const auto& file : setup.files) {
    const bool isDirectory = !file.first.empty() && file.first.back() == '/';
    if (isDirectory) std::filesystem::create_directory(dir + "/" + file.first);
    if (!isDirectory) writeFileBytes(dir + "/" + file.first, file.second);
  }
  for (const auto& link : setup.links) {
    if (symlink(link.second.c_str(), (dir + "/" + link.first).c_str()) != 0) throw std::runtime_error("symlink");
  }
  const std::string inPath = dir + "/" + (setup.stdinFile.empty() ? ".stdin" + tag : setup.stdinFile);
  if (setup.stdinFile.empty()) writeFileBytes(inPath, setup.input);
  const std::string outPath = setup.stdoutPath.empty() ? dir + "/.stdout" + tag : setup.stdoutPath;
  const std::string errPath = dir + "/.stderr" + tag;

  const std::string& shownName = setup.argv0.empty() ? programPath : setup.argv0;
  std::vector<char*> argv = {const_cast<char*>(shownName.c_str())};
  for (const std::string& arg : setup.args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);

  pid_t pid = fork();
  if (pid == 0) {
    if (chdir(dir.c_str()) != 0) _exit(127);
    const int fds[3] = {open(inPath.c_str(), O_RDONLY),
                        open(outPath.c_str(), O_WRONLY | O_CREAT | (setup.stdoutPath.empty() ? O_TRUNC : 0), 0644),
                        open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644)};
    for (int k = 0; k < 3; ++k) {
      if (fds[k] < 0 || dup2(fds[k], k) < 0) _exit(127);
    }
    for (const std::string& setting : setup.env) putenv(const_cast<char*>(setting.c_str()));
    if (setup.fileSizeLimit > 0) limitFileSize(setup.fileSizeLimit);
    if (setup.addressSpaceLimit > 0) setLimit(RLIMIT_AS, setup.addressSpaceLimit);
    execv(programPath.c_str(), argv.data());
    _exit(127);
  }
  return pid;
}

RunResult finishTessel(pid_t pid, const std::string& dir, const std::string& tag) {
  int wstatus = 0;
  waitpid(pid, &wstatus, 0);
  RunResult result;
  result.status = exitStatus(wstatus);
  result.out = readFileBytes(dir + "/.stdout" + tag);
  result.err = readFileBytes(dir + "/.stderr" + tag);
  result.log = readFileBytes(dir + "/TSLog.txt");
  result.work = readFileBytes(dir + "/tessel_temp.txt");
  return result;
}

RunResult runTessel(const RunSetup& setup, const std::string& programPath) {
  TempDir dir;
  return finishTessel(startTessel(dir.path(), setup, "", programPath), dir.path(), "");
}
