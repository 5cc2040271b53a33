#include "frontend/driver.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <new>

#include "foundation/ov_exception.h"
#include "frontend/command_line.h"
#include "frontend/console_progress.h"
#include "frontend/input_reader.h"
#include "frontend/read_outcome.h"
#include "frontend/run_lock.h"
#include "frontend/run_state.h"
#include "frontend/smooth_rates.h"
#include "frontend/standard_descriptors.h"
#include "frontend/work_file.h"

namespace {

// Writes text to standard error and, when it is open, to the log.
void report(std::FILE* log, const char* text) {
  std::fputs(text, stderr);
  if (log != nullptr) std::fputs(text, log);
}

// The file the run will read: the -f file as its name leads to it, or
// standard input; false when it cannot be told.
bool identifyInput(const RunSettings& settings, struct stat& input) {
  return settings.readFromFile ? stat(settings.inputFileName.c_str(), &input) == 0
                               : fstat(STDIN_FILENO, &input) == 0;
}

// One run; `log` receives the run log as soon as it is open, so that the
// caller can flush and close it whatever happens, and `logMissing` whether
// it could not be created. The lock is taken before anything is made in the
// directory and held by the caller until the log is closed.
int run(int argc, char** argv, RunLock& lock, std::FILE*& log, bool& logMissing) {
  RunState state;
  RunSettings settings;
  state.programName.Set(argc > 0 && argv[0] != nullptr ? argv[0] : "");
  parseCommandLine(argc, argv, settings, state);
  if (!lock.take()) {
    std::fputs("ERROR : Couldn't lock the current directory\n", stderr);
    return kExitFailure;
  }
  // An input that is the log itself keeps its bytes: the run goes on
  // without a log.
  struct stat input;
  log = state.log = lock.logFile(identifyInput(settings, input) ? &input : nullptr);
  if (log == nullptr) {
    logMissing = true;
    std::fprintf(stderr, "ERROR : Couldn't create log file %s\n", kLogFileName);
  }
  std::fputs(state.commandLineMessages.c_str(), stderr);

  if (!state.proceed) {
    writeUsage(stderr, state.programName.GetFileName());
    if (state.log != nullptr) writeUsage(state.log, state.programName.GetFileName());
    return usageStatus(state);
  }

  // An input that is the work file itself would be emptied by creating it.
  bool inputIsWorkFile = settings.readFromFile ? isWorkFile(settings.inputFileName.c_str())
                                               : isWorkFile(fileno(stdin));
  WorkFile keptWorkFile;  // read back by the loader
  std::FILE* workFile = inputIsWorkFile ? nullptr : keptWorkFile.create();
  if (workFile == nullptr) {
    std::fprintf(stderr, "ERROR : Couldn't create work file %s\n", kWorkFileName);
    return kExitFailure;
  }
  ConsoleProgress progress;
  state.progress = &progress;
  readInputTable(settings, state, workFile);
  progress.clear();
  state.progress = nullptr;

  const ReadOutcome outcome = concludeReading(settings, summarizeReading(state));
  std::fputs(outcome.errors.c_str(), stderr);
  report(state.log, outcome.report.c_str());
  if (!outcome.smooth) return outcome.status;
  int outputError = 0;
  bool written =
      smoothRates(state.pointCount, settings.NN, settings.NTRIP, settings.NITER, settings.ThetaStar,
                  keptWorkFile, state.ignoredRows, settings.missingText.c_str(),
                  settings.headerMark.GetCString(), state.log, outputError, progress);
  if (outputError != 0) std::fputs(outputErrorReport(outputError).c_str(), stderr);
  return written ? kExitSuccess : kExitFailure;
}

// Writes the trace of an exception, one entry per line.
void writeTrace(const char* trace) {
  while (*trace != '\0') {
    const char* end = std::strstr(trace, "\r\n");
    size_t length = end != nullptr ? static_cast<size_t>(end - trace) : std::strlen(trace);
    std::fwrite(trace, 1, length, stderr);
    std::fputc('\n', stderr);
    trace += length;
    if (end != nullptr) trace += 2;
  }
}

// Reports an exception that ended the run: standard output and the log are
// flushed first, then the message goes to standard error.
void reportException(std::FILE* log, const char* message, const char* trace) {
  std::fflush(stdout);
  if (log != nullptr) std::fflush(log);
  std::fputs("ERROR : ", stderr);
  std::fputs(message, stderr);
  std::fputc('\n', stderr);
  writeTrace(trace);
}

}  // namespace

int runProgram(int argc, char** argv) {
  if (!reserveClosedStandardDescriptors()) {
    std::fputs("ERROR : Couldn't open /dev/null for a closed standard descriptor\n", stderr);
    return kExitFailure;
  }
  RunLock lock;
  std::FILE* log = nullptr;
  bool logMissing = false;
  int status;
  try {
    status = run(argc, argv, lock, log, logMissing);
  } catch (const OvException& e) {
    reportException(log, e.GetMessage(), e.GetTrace());
    status = kExitFailure;
  } catch (const std::bad_alloc&) {
    // The standard containers of the front end, the loader or the writer.
    reportException(log, "Out of memory", "");
    status = kExitFailure;
  } catch (const std::exception& e) {
    reportException(log, e.what(), "");
    status = kExitFailure;
  }
  // A run without its log has not done all it should.
  if (logMissing && status == kExitSuccess) status = kExitFailure;
  if (log != nullptr) {
    // A log that missed a write, or its last bytes at the close, turns a
    // successful run into a failed one; a failed run has said why already.
    const bool logWritten = std::ferror(log) == 0;
    if ((std::fclose(log) != 0 || !logWritten) && status == kExitSuccess) {
      std::fprintf(stderr, "ERROR : Couldn't write log file %s\n", kLogFileName);
      status = kExitFailure;
    }
  }
  return status;
}
