// The iteration loop and its commit of the new values.
#include <cstdint>
#include <cstring>
#include <vector>

#include "engine/parallel.h"
#include "engine/phases.h"

namespace tessel {

void commitNextValues(int32_t N, int32_t /*NN*/, int32_t /*NTRIP*/, int32_t /*NITER*/,
                      WorkArrays& ws, uint8_t* changed, int32_t iteration) {
  double* currentValues = ws.currentValues.get();
  const double* nextValues = ws.nextValues.get();
  int32_t* lastChange = ws.diagnostics == nullptr ? nullptr : ws.diagnostics->last_change.data();
  ws.forEachPoint(N, [&](int32_t begin, int32_t end, int32_t /*worker*/) {
    for (int32_t i = begin; i < end; ++i) {
      changed[i] = std::memcmp(&currentValues[i], &nextValues[i], sizeof(double)) != 0;
      currentValues[i] = nextValues[i];
    }
    if (lastChange == nullptr) return;
    for (int32_t i = begin; i < end; ++i) {
      if (changed[i] != 0) lastChange[ws.diagnosticsEntry(i)] = iteration;
    }
  });
}

void runIterations(int32_t N, int32_t NN, int32_t NTRIP, int32_t NITER, WorkArrays& ws) {
  // The reference method smooths every point in every iteration, with
  // rounded sums; the fast one skips points whose inputs did not change
  // (every point is smoothed in the first iteration) and uses exact sums
  // where the weights allow them.
  const bool plain = ws.method == Method::kReference;
  // Which values the last commit changed.
  std::vector<uint8_t> changed(NITER > 0 && N > 0 ? static_cast<size_t>(N) : 0);
  // The weights do not change between iterations.
  const bool exactSums = !plain && NITER > 0 && integerWeights(ws.weights.get(), N);
  for (int32_t k = 0; k < NITER; ++k) {
    ws.progress.setSpan(static_cast<double>(k) / NITER, static_cast<double>(k + 1) / NITER);
    // Diagnostics keep the screens of the last iteration, which then
    // smooths every point: a point skipped would keep an older record.
    const bool keepScreens = ws.diagnostics != nullptr && k == NITER - 1;
    // The passes all read the current values; the commit waits for them.
    const uint8_t* skip = k == 0 || plain || keepScreens ? nullptr : changed.data();
    smoothAllPoints(N, NN, NTRIP, NITER, ws, skip, exactSums, keepScreens);
    commitNextValues(N, NN, NTRIP, NITER, ws, changed.data(), k + 1);
  }
}

}  // namespace tessel
