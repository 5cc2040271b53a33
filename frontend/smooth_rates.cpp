#include "frontend/smooth_rates.h"

#include <cstdio>
#include <new>

#include "frontend/console_allocation.h"
#include "frontend/loader.h"
#include "frontend/writer.h"
#include "tessel/tessel.h"

bool smoothRates(int32_t N, int32_t NN, int32_t NTRIP, int32_t NITER, double ThetaStar,
                 const char* workFileName, const IgnoredRowList& ignoredRows,
                 const char* missingText, const char* headerMark, std::FILE* log, int& outputError,
                 ConsoleProgress& progress) {
  outputError = 0;
  ConsoleAllocation policy(&progress);
  tessel::Workspace ws(policy);
  tessel::SmoothingOptions options;
  options.NN = NN;
  options.NTRIP = NTRIP;
  options.NITER = NITER;
  options.ThetaStar = ThetaStar;
  // Only the engine's own steps end in the out-of-memory report; the
  // loader and the writer are the program's, whose failures its entry
  // reports.
  tessel::LimitCheck check = tessel::LimitCheck::kWithinLimits;
  try {
    check = ws.allocate(N, options);
  } catch (const std::bad_alloc&) {
    progress.clear();
    outOfMemoryStop();
  }
  if (check != tessel::LimitCheck::kWithinLimits) progress.clear();
  switch (check) {
    case tessel::LimitCheck::kTooBig:
      std::printf("One or more control parameters are too big:\n");
      std::printf("NN = %d: NTRIP = %d; NITER = %d\n", NN, NTRIP, NITER);
      std::printf("The maximum values are:\n");
      std::printf("NN = %d; NTRIP = %d; NITER = %d\n", tessel::kMaxNN, tessel::kMaxNTRIP,
                  tessel::kMaxNITER);
      std::fflush(stdout);
      return false;
    case tessel::LimitCheck::kNegative:
      std::printf("One or more control parameters are negative:\n");
      std::printf("NN = %d; NTRIP = %d\n", NN, NTRIP);
      std::printf("The minimum values are:\n");
      std::printf("NN = 0; NTRIP = 0\n");
      std::fflush(stdout);
      return false;
    case tessel::LimitCheck::kWithinLimits:
      break;
  }
  if (!loadPoints(N, workFileName, ws, &progress)) return false;
  ws.setProgress([&progress](tessel::Phase phase, double share) {
    progress.update(tessel::phaseName(phase), share);
    return true;
  });
  try {
    ws.run();
  } catch (const std::bad_alloc&) {
    progress.clear();
    outOfMemoryStop();
  }
  progress.clear();
  outputError = writeResults(N, missingText, ignoredRows, headerMark, log, ws.values());
  return outputError == 0;
}
