// The console program's run of the smoothing engine: the limit check and
// its report, the work arrays obtained through the console's allocation
// policy, the points loaded from the work file (loader.h) through the
// descriptor the front end wrote it with (work_file.h), the core's
// smoothing, and the result table (writer.h). The ignored-row list stays
// the caller's; the writer only reads it.
#ifndef TESSEL_FRONTEND_SMOOTH_RATES_H_
#define TESSEL_FRONTEND_SMOOTH_RATES_H_

#include <cstdint>
#include <cstdio>
#include <string>

#include "frontend/console_progress.h"
#include "frontend/ignored_rows.h"
#include "frontend/run_state.h"
#include "tessel/tessel.h"

class WorkFile;

// The report of control numbers outside their limits (empty within them),
// as standard output shows it.
std::string limitReport(tessel::LimitCheck check, int32_t NN, int32_t NTRIP, int32_t NITER);

// The engine's options for the run's control numbers.
tessel::SmoothingOptions smoothingOptionsOf(int32_t NN, int32_t NTRIP, int32_t NITER,
                                            double ThetaStar);

// What the program writes to standard output before the values of N
// points, for callers that smooth the table otherwise than in one workspace
// (the cluster command): the limit report, after which nothing follows
// (proceed false), or the engine's zero-size reports and, with -r, the
// header line.
std::string resultPrelude(int32_t N, const RunSettings& settings, bool& proceed);

// Checks the control limits, provisions the work arrays, loads, smooths and
// writes the result table, then releases everything. Returns true when the
// result table was written (and standard output took it without error);
// outputError is then 0, and otherwise the errno of the failed write of the
// table when that was the cause. A memory refusal anywhere in the engine,
// its workers included, ends the process with the out-of-memory report.
// The progress line shows loading and the engine's phases, and is cleared
// before every report and before the table.
bool smoothRates(int32_t N, int32_t NN, int32_t NTRIP, int32_t NITER, double ThetaStar,
                 const WorkFile& workFile, const IgnoredRowList& ignoredRows,
                 const char* missingText, const char* headerMark, std::FILE* log, int& outputError,
                 ConsoleProgress& progress);

#endif  // TESSEL_FRONTEND_SMOOTH_RATES_H_
