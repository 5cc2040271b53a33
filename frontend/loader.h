// The loader: the work file's lines become the workspace's points. Owned by
// the run of the engine (smooth_rates.h); the workspace is the caller's.
#ifndef TESSEL_FRONTEND_LOADER_H_
#define TESSEL_FRONTEND_LOADER_H_

#include <cstddef>
#include <cstdint>

#include "frontend/console_progress.h"
#include "tessel/tessel.h"

// Reads N points from the work file into the workspace (allocated for N
// points) with loadPoint. Reports on standard output (the progress line,
// when given, cleared first) and returns false when the file cannot be
// opened or a line is missing or does not hold four numbers.
bool loadPoints(int32_t N, const char* workFileName, tessel::Workspace& ws,
                ConsoleProgress* progress = nullptr);
// The same from the start of the open file `workFile`, which stays open
// (its offset is moved); workFileName only names it in the reports.
bool loadPoints(int32_t N, int workFile, const char* workFileName, tessel::Workspace& ws,
                ConsoleProgress* progress = nullptr);

// One work-file line "x,y,rate,weight" (NUL-terminated at text[length]) as
// the loader reads it, with or without its line feed; false when it does not
// hold four numbers.
bool parsePointLine(const char* text, size_t length, double values[4]);

#endif  // TESSEL_FRONTEND_LOADER_H_
