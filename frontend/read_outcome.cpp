#include "frontend/read_outcome.h"

#include <cstring>

#include "frontend/driver.h"
#include "frontend/work_file.h"

ReadSummary summarizeReading(const RunState& state) {
  ReadSummary summary;
  summary.rows = state.rowNumber;
  summary.proceed = state.proceed;
  summary.openFailed = state.openFailed;
  summary.readFailed = state.readFailed;
  summary.readOutOfMemory = state.readOutOfMemory;
  summary.workFileFailed = state.workFileFailed;
  summary.errorTitle = state.errorTitle.GetCString();
  summary.errorDetail = state.errorDetail.GetCString();
  return summary;
}

ReadOutcome concludeReading(const RunSettings& settings, const ReadSummary& summary) {
  ReadOutcome outcome;
  outcome.status = kExitFailure;
  if (summary.openFailed) {
    outcome.errors = "ERROR : Couldn't open file " + settings.inputFileName + "\n";
    return outcome;
  }
  if (summary.readFailed) {
    if (summary.readOutOfMemory) {
      outcome.errors = "ERROR : Out of memory\n";
    } else if (settings.readFromFile) {
      outcome.errors = "ERROR : Couldn't read file " + settings.inputFileName + "\n";
    } else {
      outcome.errors = "ERROR : Couldn't read standard input\n";
    }
  }
  if (summary.workFileFailed) {
    outcome.errors += std::string("ERROR : Couldn't write work file ") + kWorkFileName + "\n";
  }
  if (summary.readFailed || summary.workFileFailed) return outcome;
  if (summary.rows == 0 && summary.proceed) {
    outcome.report = "No input data detected.\n";
    return outcome;
  }
  if (summary.proceed) {
    outcome.smooth = true;
    outcome.status = kExitSuccess;
    return outcome;
  }
  if (!summary.errorTitle.empty()) {
    outcome.report = summary.errorTitle + " : " + summary.errorDetail;
  }
  return outcome;
}

std::string outputErrorReport(int error) {
  return std::string("ERROR : Couldn't write standard output: ") + std::strerror(error) + "\n";
}
