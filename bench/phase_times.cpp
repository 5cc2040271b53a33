// Times the phases of one run of the program on a table with a header row:
// reading it into the work file, allocation, loading, each phase of the
// smoothing core, and writing the result table (to /dev/null). Prints one
// line per phase with its wall time, to standard error.
// Usage: phase_times FILE [NN NTRIP NITER [reference]]   (run it in a
// scratch directory: it writes tessel_temp.txt there). "reference" runs
// the reference method (every phase in its plain form) instead.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "frontend/console_allocation.h"
#include "frontend/input_reader.h"
#include "frontend/loader.h"
#include "frontend/run_state.h"
#include "frontend/work_file.h"
#include "frontend/writer.h"
#include "tessel/tessel.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: phase_times FILE [NN NTRIP NITER]\n");
    return 2;
  }
  RunSettings settings;
  settings.readFromFile = true;
  settings.inputFileName = argv[1];
  settings.firstRowHasNames = true;
  if (argc > 4) {
    settings.NN = std::atoi(argv[2]);
    settings.NTRIP = std::atoi(argv[3]);
    settings.NITER = std::atoi(argv[4]);
  }
  using Clock = std::chrono::steady_clock;
  Clock::time_point last = Clock::now();
  const Clock::time_point start = last;
  auto lap = [&](const char* phase) {
    const Clock::time_point now = Clock::now();
    std::fprintf(stderr, "%-18s %8.3f s\n", phase,
                 std::chrono::duration<double>(now - last).count());
    last = now;
  };
  if (std::freopen("/dev/null", "w", stdout) == nullptr) return 1;
  RunState state;
  WorkFile workFile;
  std::FILE* written = workFile.create();
  if (written == nullptr) return 1;
  readInputTable(settings, state, written);
  lap("reading input");
  const int32_t N = state.pointCount;
  ConsoleAllocation policy;
  tessel::Workspace ws(policy);
  tessel::SmoothingOptions options;
  options.NN = settings.NN;
  options.NTRIP = settings.NTRIP;
  options.NITER = settings.NITER;
  options.ThetaStar = settings.ThetaStar;
  if (argc > 5 && std::string(argv[5]) == "reference") options.method = tessel::Method::kReference;
  if (ws.allocate(N, options) != tessel::LimitCheck::kWithinLimits) return 1;
  lap("allocation");
  if (!loadPoints(N, workFile.descriptor(), kWorkFileName, ws)) return 1;
  lap("loading");
  ws.setProgress([&](tessel::Phase phase, double share) {
    if (share == 1.0) lap(tessel::phaseName(phase));
    return true;
  });
  ws.run();
  if (writeResults(N, "", state.ignoredRows, " ", nullptr, ws.values()) != 0) return 1;
  std::fflush(stdout);
  lap("writing");
  ws.release();
  lap("release");
  std::fprintf(stderr, "%-18s %8.3f s\n", "whole run",
               std::chrono::duration<double>(last - start).count());
  return 0;
}
