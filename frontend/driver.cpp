#include "frontend/driver.h"

#include <cstdio>
#include <cstring>
#include <exception>

#include "engine/smooth_rates.h"
#include "foundation/ov_exception.h"
#include "frontend/command_line.h"
#include "frontend/input_reader.h"
#include "frontend/run_state.h"
#include "frontend/work_file.h"

namespace {

const char kLogFileName[] = "TSLog.txt";

// Writes text to standard error and, when it is open, to the log.
void report(std::FILE* log, const char* text) {
  std::fputs(text, stderr);
  if (log != nullptr) std::fputs(text, log);
}

int run(int argc, char** argv, RunState& state) {
  RunSettings settings;
  state.programName.Set(argc > 0 && argv[0] != nullptr ? argv[0] : "");
  state.log = std::fopen(kLogFileName, "w");
  parseCommandLine(argc, argv, settings, state);

  if (!state.proceed) {
    writeUsage(stderr, state.programName.GetFileName());
    if (state.log != nullptr) writeUsage(state.log, state.programName.GetFileName());
    return state.helpRequested ? kExitSuccess : kExitUsageError;
  }

  std::FILE* workFile = createWorkFile();
  if (workFile == nullptr) {
    std::fprintf(stderr, "ERROR : Couldn't create work file %s\n", kWorkFileName);
    return kExitFailure;
  }
  readInputTable(settings, state, workFile);

  if (state.workFileFailed) {
    std::fprintf(stderr, "ERROR : Couldn't write work file %s\n", kWorkFileName);
    return kExitFailure;
  }
  if (state.rowNumber == 0 && state.proceed) {
    report(state.log, "No input data detected.\n");
    return kExitFailure;
  }
  if (state.proceed) {
    bool written = smoothRates(state.pointCount, settings.NN, settings.NTRIP,
                               settings.NITER, settings.ThetaStar, kWorkFileName,
                               state.ignoredRows, settings.missingText.c_str(),
                               settings.headerMark.GetCString(), state.log);
    return written ? kExitSuccess : kExitFailure;
  }
  if (!state.errorTitle.IsEmpty()) {
    std::fprintf(stderr, "%s : %s", state.errorTitle.GetCString(),
                 state.errorDetail.GetCString());
    if (state.log != nullptr) {
      std::fprintf(state.log, "%s : %s", state.errorTitle.GetCString(),
                   state.errorDetail.GetCString());
    }
  }
  return kExitFailure;
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

}  // namespace

int runProgram(int argc, char** argv) {
  RunState state;
  int status;
  try {
    status = run(argc, argv, state);
  } catch (const OvException& e) {
    std::fflush(stdout);
    if (state.log != nullptr) std::fflush(state.log);
    std::fputs("ERROR : ", stderr);
    std::fputs(e.GetMessage(), stderr);
    std::fputc('\n', stderr);
    writeTrace(e.GetTrace());
    status = kExitFailure;
  } catch (const std::exception& e) {
    std::fflush(stdout);
    if (state.log != nullptr) std::fflush(state.log);
    std::fputs("ERROR : ", stderr);
    std::fputs(e.what(), stderr);
    std::fputc('\n', stderr);
    status = kExitFailure;
  }
  if (state.log != nullptr) std::fclose(state.log);
  state.log = nullptr;
  return status;
}
