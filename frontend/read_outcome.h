// How a run goes on once its input table has been read: the read and
// work-file errors, "No input data detected.", or the deferred report of
// the row that stopped the reading; or on to the engine. The program's
// driver and the cluster command (which reads the same table in pieces and
// sums them up here) both take their messages and exit status from it, so
// that the two cannot say different things about the same input.
#ifndef TESSEL_FRONTEND_READ_OUTCOME_H_
#define TESSEL_FRONTEND_READ_OUTCOME_H_

#include <cstdint>
#include <string>

#include "frontend/run_state.h"

// What the reading of a table found, as far as the run's way on depends on
// it. Plain data, so that pieces read apart can be summed up.
struct ReadSummary {
  int32_t rows = 0;              // rows read, the header counted
  bool proceed = true;           // nothing stopped the reading
  bool openFailed = false;       // the -f file could not be opened
  bool readFailed = false;       // a read failed before the end
  bool readOutOfMemory = false;  // ... because a line did not fit in memory
  bool workFileFailed = false;   // a work-file write failed
  std::string errorTitle;        // the stopping row's report, when one did
  std::string errorDetail;
};

ReadSummary summarizeReading(const RunState& state);

struct ReadOutcome {
  bool smooth = false;  // the engine runs; its run settles the exit status
  int status = 0;       // the exit status when it does not
  std::string errors;   // for standard error only
  std::string report;   // for standard error and the run log
};

ReadOutcome concludeReading(const RunSettings& settings, const ReadSummary& summary);

// The line that says standard output refused the result table (errno).
std::string outputErrorReport(int error);

#endif  // TESSEL_FRONTEND_READ_OUTCOME_H_
