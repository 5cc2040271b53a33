// The iteration loop and its commit of the new values.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "engine/parallel.h"
#include "engine/phases.h"

namespace tessel {

void commitNextValues(int32_t N, int32_t /*NN*/, int32_t /*NTRIP*/, int32_t /*NITER*/,
                      WorkArrays& ws, uint8_t* changed, uint8_t* lastChange, int32_t iteration) {
  double* currentValues = ws.currentValues.get();
  const double* nextValues = ws.nextValues.get();
  const uint8_t mark = static_cast<uint8_t>(iteration);
  ws.forEachPoint(N, [&](int32_t begin, int32_t end, int32_t /*worker*/) {
    for (int32_t i = begin; i < end; ++i) {
      changed[i] = std::memcmp(&currentValues[i], &nextValues[i], sizeof(double)) != 0;
      currentValues[i] = nextValues[i];
    }
    if (lastChange == nullptr) return;
    // A loop of its own over bytes, which the compiler can vectorise.
    for (int32_t i = begin; i < end; ++i) lastChange[i] = changed[i] != 0 ? mark : lastChange[i];
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
  // With diagnostics, the last iteration that changed each value: a byte
  // while the iterations run (it holds every iteration's number), widened
  // into the diagnostics at the end.
  static_assert(kMaxNITER <= 255, "an iteration's number fits in a byte");
  std::vector<uint8_t> lastChange(ws.diagnostics != nullptr ? changed.size() : 0);
  uint8_t* marks = ws.diagnostics != nullptr ? lastChange.data() : nullptr;
  for (int32_t k = 0; k < NITER; ++k) {
    // The passes fill most of the iteration's stretch of the phase, the
    // commit the rest, so that the share only grows.
    const double start = static_cast<double>(k) / NITER, passesEnd = (k + 0.9) / NITER;
    ws.progress.setSpan(start, passesEnd);
    // Diagnostics keep the screens of the last iteration, which then
    // smooths every point: a point skipped would keep an older record.
    const bool keepScreens = ws.diagnostics != nullptr && k == NITER - 1;
    // The passes all read the current values; the commit waits for them.
    const uint8_t* skip = k == 0 || plain || keepScreens ? nullptr : changed.data();
    smoothAllPoints(N, NN, NTRIP, NITER, ws, skip, exactSums, keepScreens);
    ws.progress.setSpan(passesEnd, static_cast<double>(k + 1) / NITER);
    commitNextValues(N, NN, NTRIP, NITER, ws, changed.data(), marks, k + 1);
  }
  if (marks != nullptr) {
    std::copy(lastChange.begin(), lastChange.end(), ws.diagnostics->last_change.begin());
  }
}

}  // namespace tessel
