#include "e2e/run_binary.h"

#include <fcntl.h>
#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <thread>

const char kAbsent[] = "<absent>";

namespace {

void setLimit(int resource, long bytes) {
  const rlimit limit = {static_cast<rlim_t>(bytes), static_cast<rlim_t>(bytes)};
  if (setrlimit(resource, &limit) != 0) _exit(127);
}

void check(bool done, const char* what) {
  if (!done) throw std::runtime_error(what);
}

}  // namespace

std::string readFileBytes(const std::string& path) {
  if (!std::filesystem::is_regular_file(path)) return kAbsent;
  std::ifstream in(path, std::ios::binary);
  return in ? std::string(std::istreambuf_iterator<char>(in), {}) : kAbsent;
}

TempDir::TempDir() {
  char dirTemplate[] = "/tmp/tessel-e2e-XXXXXX";
  check(mkdtemp(dirTemplate) != nullptr, "mkdtemp");
  dir = dirTemplate;
}

TempDir::~TempDir() {
  std::error_code ignored;  // leftover temporary files are harmless
  std::filesystem::remove_all(dir, ignored);
}

RunSetup fileRun(std::vector<std::string> args, const std::string& table) {
  RunSetup s;
  s.args = std::move(args);
  return s.file("in.csv", table);
}

RunSetup stdinRun(std::vector<std::string> args, const std::string& input) {
  RunSetup s;
  s.args = std::move(args);
  return s.file(".stdin", input).input(".stdin");
}

std::string pointTable(const std::string& layout, int n) {
  const std::string command =
      std::string(TESSEL_MAKE_POINTS) + " " + std::to_string(n) + " 7 " + layout;
  std::FILE* pipe = popen(command.c_str(), "r");
  check(pipe != nullptr, "popen");
  std::string table;
  char chunk[4096];
  for (size_t got; (got = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;) table.append(chunk, got);
  check(pclose(pipe) == 0, "make_points");
  return table.substr(table.find('\n') + 1);
}

// Standard output comes through a pipe, read to its end before the wait;
// standard error goes to a file of a directory of the run's own, so that
// runs sharing a directory keep their streams apart.
RunResult runTessel(const RunSetup& setup, const std::string& programPath) {
  TempDir own;
  const std::string dir = setup.dir.empty() ? own.path() : setup.dir;
  for (const auto& file : setup.files)
    std::ofstream(dir + "/" + file.first, std::ios::binary) << file.second;
  for (const auto& link : setup.links)
    check(symlink(link.second.c_str(), (dir + "/" + link.first).c_str()) == 0, "symlink");
  for (const std::string& name : setup.dirs) std::filesystem::create_directory(dir + "/" + name);
  for (const std::string& name : setup.fifos)
    check(mkfifo((dir + "/" + name).c_str(), 0666) == 0, "mkfifo");
  check(setup.dirMode < 0 || ((setup.uid < 0 || chown(dir.c_str(), setup.uid, setup.gid) == 0) &&
                              chmod(dir.c_str(), static_cast<mode_t>(setup.dirMode)) == 0),
        "chown/chmod");
  const std::string errPath = own.path() + "/.stderr";
  const std::string& shownName = setup.argv0.empty() ? programPath : setup.argv0;
  std::vector<char*> argv = {const_cast<char*>(shownName.c_str())};
  for (const std::string& arg : setup.args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);

  const bool held = setup.stdinHoldMilliseconds >= 0;
  const std::string heldInput = held ? readFileBytes(dir + "/" + setup.stdinFile) : "";
  int pipeEnds[2], inputEnds[2] = {-1, -1};
  check(pipe2(pipeEnds, O_CLOEXEC) == 0 && (!held || pipe2(inputEnds, O_CLOEXEC) == 0), "pipe");
  const pid_t pid = fork();
  if (pid == 0) {
    if (chdir(dir.c_str()) != 0 || (setup.pid != nullptr && setpgid(0, 0) != 0)) _exit(127);
    const int fds[3] = {
        held ? inputEnds[0] : open(setup.stdinFile.c_str(), O_RDONLY),
        setup.stdoutPath.empty() ? pipeEnds[1] : open(setup.stdoutPath.c_str(), O_WRONLY),
        open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644)};
    for (int k = 0; k < 3; ++k)
      if (fds[k] < 0 || dup2(fds[k], k) < 0) _exit(127);
    for (int fd : setup.closedFds) close(fd);
    for (const std::string& setting : setup.env) putenv(const_cast<char*>(setting.c_str()));
    if (setup.fileSizeLimit > 0) {
      signal(SIGXFSZ, SIG_IGN);  // a write past the limit fails instead
      setLimit(RLIMIT_FSIZE, setup.fileSizeLimit);
    }
    if (setup.addressSpaceLimit > 0) setLimit(RLIMIT_AS, setup.addressSpaceLimit);
    if (setup.timeLimitSeconds > 0) alarm(static_cast<unsigned>(setup.timeLimitSeconds));
    const gid_t group = static_cast<gid_t>(setup.gid);
    if (setup.uid >= 0 && (setgroups(1, &group) != 0 || setgid(group) != 0 ||
                           setuid(static_cast<uid_t>(setup.uid)) != 0)) {
      _exit(127);
    }
    execvp(programPath.c_str(), argv.data());
    _exit(127);
  }
  if (setup.pid != nullptr) *setup.pid = pid;
  close(pipeEnds[1]);
  if (held) {
    close(inputEnds[0]);  // small inputs only: the pipe takes them whole
    check(write(inputEnds[1], heldInput.data(), heldInput.size()) == ssize_t(heldInput.size()),
          "write to standard input");
    std::this_thread::sleep_for(std::chrono::milliseconds(setup.stdinHoldMilliseconds));
    close(inputEnds[1]);
  }
  std::string out;
  char chunk[4096];
  for (ssize_t n; (n = read(pipeEnds[0], chunk, sizeof chunk)) > 0;) out.append(chunk, n);
  close(pipeEnds[0]);
  int wstatus = 0;
  waitpid(pid, &wstatus, 0);
  return {out, readFileBytes(errPath), readFileBytes(dir + "/TSLog.txt"),
          readFileBytes(dir + "/tessel_temp.txt"),
          WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus)};
}
