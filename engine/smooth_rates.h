// The smoothing engine's entry and its phases that frame the smoothing:
// loading the points from the work file and writing the result table.
#ifndef TESSEL_ENGINE_SMOOTH_RATES_H_
#define TESSEL_ENGINE_SMOOTH_RATES_H_

#include <cstdint>
#include <cstdio>

#include "frontend/ignored_rows.h"

// Checks the control limits, provisions the work arrays, loads, smooths and
// writes the result table, then releases everything. Returns true when the
// result table was written (and standard output took it without error);
// outputError is then 0, and otherwise the errno of the failed write of the
// table when that was the cause. The engine owns its copy of ignoredRows.
bool smoothRates(int32_t N, int32_t NN, int32_t NTRIP, int32_t NITER, double ThetaStar,
                 const char* workFileName, IgnoredRowList ignoredRows,
                 const char* missingText, const char* headerMark, std::FILE* log,
                 int& outputError);

// Reads N points from the work file into the work arrays. Reports on
// standard output and returns false when the file cannot be opened or a
// line is missing or does not hold four numbers.
bool loadPoints(int32_t N, int32_t NN, int32_t NTRIP, int32_t NITER,
                const char* workFileName);

// Writes the result table (optional header, one line per input data row)
// to standard output and the same table to the log when it is open.
// Returns 0 when standard output took the whole table, else the errno of
// its first failed write or flush.
int writeResults(int32_t N, const char* missingText, IgnoredRowList ignoredRows,
                 const char* headerMark, std::FILE* log);

#endif  // TESSEL_ENGINE_SMOOTH_RATES_H_
