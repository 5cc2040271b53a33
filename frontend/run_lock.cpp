#include "frontend/run_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

const char kLogFileName[] = "TSLog.txt";

namespace {

bool lockExclusively(int fd) {
  int result;
  while ((result = flock(fd, LOCK_EX)) != 0 && errno == EINTR) {
  }
  return result == 0;
}

// O_NONBLOCK: a FIFO planted as the log must not hold the run at the open.
const int kLogFlags = O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK;

// The log without truncation: for writing when possible (created when
// absent; `created` then says so), else for reading, which serves the lock
// alone. -1 when neither opens.
int openLog(bool& writable, bool& created) {
  writable = created = false;
  for (int attempt = 0; attempt < 8; ++attempt) {
    int fd = open(kLogFileName, O_WRONLY | kLogFlags);
    if (fd < 0 && errno == ENOENT) {
      fd = open(kLogFileName, O_WRONLY | O_CREAT | O_EXCL | kLogFlags, 0666);
      if (fd < 0 && errno == EEXIST) continue;  // another run made it first
      created = fd >= 0;
    }
    if (fd >= 0) {
      writable = true;
    } else {
      fd = open(kLogFileName, O_RDONLY | kLogFlags);
    }
    if (fd >= 0) fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
  }
  return -1;
}

}  // namespace

RunLock::~RunLock() {
  if (log >= 0) close(log);
  if (directory >= 0) close(directory);
}

bool RunLock::take() {
  directory = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (directory >= 0 && !lockExclusively(directory)) {
    close(directory);
    directory = -1;
  }
  bool created = false;
  log = openLog(logWritable, created);
  if (log >= 0 && !lockExclusively(log)) {
    close(log);
    log = -1;
    // Without a lock the run makes nothing; what it made goes again.
    if (created && directory < 0) unlink(kLogFileName);
  }
  return directory >= 0 || log >= 0;
}

std::FILE* RunLock::logFile(const struct stat* input) {
  if (log < 0 || !logWritable) return nullptr;
  struct stat own;
  if (fstat(log, &own) != 0 || !S_ISREG(own.st_mode)) return nullptr;
  if (input != nullptr && input->st_dev == own.st_dev && input->st_ino == own.st_ino) {
    return nullptr;
  }
  const int fd = fcntl(log, F_DUPFD_CLOEXEC, 3);
  if (fd < 0) return nullptr;
  std::FILE* file = ftruncate(fd, 0) == 0 ? fdopen(fd, "w") : nullptr;
  if (file == nullptr) close(fd);
  return file;
}
