#include "frontend/smooth_rates.h"

#include <cstdio>
#include <new>
#include <string>

#include "frontend/console_allocation.h"
#include "frontend/loader.h"
#include "frontend/work_file.h"
#include "frontend/writer.h"
#include "tessel/tessel.h"

std::string limitReport(tessel::LimitCheck check, int32_t NN, int32_t NTRIP, int32_t NITER) {
  char text[256];
  if (check == tessel::LimitCheck::kTooBig) {
    std::snprintf(text, sizeof text,
                  "One or more control parameters are too big:\n"
                  "NN = %d: NTRIP = %d; NITER = %d\n"
                  "The maximum values are:\n"
                  "NN = %d; NTRIP = %d; NITER = %d\n",
                  NN, NTRIP, NITER, tessel::kMaxNN, tessel::kMaxNTRIP, tessel::kMaxNITER);
  } else if (check == tessel::LimitCheck::kNegative) {
    std::snprintf(text, sizeof text,
                  "One or more control parameters are negative:\n"
                  "NN = %d; NTRIP = %d\n"
                  "The minimum values are:\n"
                  "NN = 0; NTRIP = 0\n",
                  NN, NTRIP);
  } else {
    text[0] = '\0';
  }
  return text;
}

tessel::SmoothingOptions smoothingOptionsOf(int32_t NN, int32_t NTRIP, int32_t NITER,
                                            double ThetaStar) {
  tessel::SmoothingOptions options;
  options.NN = NN;
  options.NTRIP = NTRIP;
  options.NITER = NITER;
  options.ThetaStar = ThetaStar;
  return options;
}

std::string resultPrelude(int32_t N, const RunSettings& settings, bool& proceed) {
  const tessel::LimitCheck check = tessel::checkLimits(settings.NN, settings.NTRIP, settings.NITER);
  proceed = check == tessel::LimitCheck::kWithinLimits;
  if (!proceed) return limitReport(check, settings.NN, settings.NTRIP, settings.NITER);
  std::string text;
  const int64_t reports = tessel::zeroSizeRequests(
      N, smoothingOptionsOf(settings.NN, settings.NTRIP, settings.NITER, settings.ThetaStar));
  for (int64_t k = 0; k < reports; ++k) text += kZeroSizeReport;
  if (!settings.headerMark.IsEmpty()) text += kResultHeader;
  return text;
}

bool smoothRates(int32_t N, int32_t NN, int32_t NTRIP, int32_t NITER, double ThetaStar,
                 const WorkFile& workFile, const IgnoredRowList& ignoredRows,
                 const char* missingText, const char* headerMark, std::FILE* log, int& outputError,
                 ConsoleProgress& progress) {
  outputError = 0;
  ConsoleAllocation policy(&progress);
  tessel::Workspace ws(policy);
  const tessel::SmoothingOptions options = smoothingOptionsOf(NN, NTRIP, NITER, ThetaStar);
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
  if (check != tessel::LimitCheck::kWithinLimits) {
    progress.clear();
    std::fputs(limitReport(check, NN, NTRIP, NITER).c_str(), stdout);
    std::fflush(stdout);
    return false;
  }
  if (!loadPoints(N, workFile.descriptor(), kWorkFileName, ws, &progress)) return false;
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
