#include "frontend/smooth_rates.h"

#include <cstdio>
#include <new>

#include "engine/smoothing.h"
#include "frontend/console_allocation.h"

bool smoothRates(int32_t N, int32_t NN, int32_t NTRIP, int32_t NITER, double ThetaStar,
                 const char* workFileName, const IgnoredRowList& ignoredRows,
                 const char* missingText, const char* headerMark, std::FILE* log,
                 int& outputError) {
  outputError = 0;
  switch (checkLimits(NN, NTRIP, NITER)) {
    case LimitCheck::kTooBig:
      std::printf("One or more control parameters are too big:\n");
      std::printf("NN = %d: NTRIP = %d; NITER = %d\n", NN, NTRIP, NITER);
      std::printf("The maximum values are:\n");
      std::printf("NN = %d; NTRIP = %d; NITER = %d\n", kMaxNN, kMaxNTRIP, kMaxNITER);
      std::fflush(stdout);
      return false;
    case LimitCheck::kNegative:
      std::printf("One or more control parameters are negative:\n");
      std::printf("NN = %d; NTRIP = %d\n", NN, NTRIP);
      std::printf("The minimum values are:\n");
      std::printf("NN = 0; NTRIP = 0\n");
      std::fflush(stdout);
      return false;
    case LimitCheck::kWithinLimits:
      break;
  }
  NN = neighborCountFor(N, NN);
  ConsoleAllocation policy;
  Workspace ws(policy);
  // Only the engine's own steps end in the out-of-memory report; the
  // loader and the writer are the program's, whose failures its entry
  // reports.
  try {
    ws.allocateWorkArrays(N, NN, NTRIP, NeighborSearch::kNearest);
  } catch (const std::bad_alloc&) {
    outOfMemoryStop();
  }
  if (!loadPoints(N, NN, NTRIP, NITER, workFileName, ws)) return false;
  try {
    smoothLoadedPoints(N, NN, NTRIP, NITER, ThetaStar, ws);
  } catch (const std::bad_alloc&) {
    outOfMemoryStop();
  }
  outputError = writeResults(N, missingText, ignoredRows, headerMark, log, ws.currentValues);
  return outputError == 0;
}
