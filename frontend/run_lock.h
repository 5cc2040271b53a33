// RunLock keeps the runs that share the current directory (and so its run
// log and work file) from overlapping. A run locks "." where it can open
// it, and also the run log "TSLog.txt", opened without truncation and
// without following a symbolic link (created when absent), where it can
// open that: a run that cannot read the directory (mode 0300) still takes
// turns with one that can, through the log. The lock owns both descriptors
// and releases them when destroyed; the run log is written through a
// descriptor of its own (logFile), which shares the log's lock.
#ifndef TESSEL_FRONTEND_RUN_LOCK_H_
#define TESSEL_FRONTEND_RUN_LOCK_H_

#include <sys/stat.h>

#include <cstdio>

extern const char kLogFileName[];

class RunLock {
 public:
  RunLock() = default;
  ~RunLock();
  RunLock(const RunLock&) = delete;
  RunLock& operator=(const RunLock&) = delete;

  // Waits for both locks; false, with nothing created or left behind, when
  // neither could be taken.
  bool take();

  // The run log, emptied, for writing; null when it cannot be a log: it
  // could not be opened for writing, it is no regular file (a directory, a
  // link), or it is the file `input` (then its bytes stay as they are).
  // The caller owns the stream.
  std::FILE* logFile(const struct stat* input);

 private:
  int directory = -1;
  int log = -1;
  bool logWritable = false;
};

#endif  // TESSEL_FRONTEND_RUN_LOCK_H_
