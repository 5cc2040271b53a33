// The iteration loop and its commit of the new values.
#include <cstdint>

#include "engine/parallel.h"
#include "engine/phases.h"

void commitNextValues(int32_t N, int32_t /*NN*/, int32_t /*NTRIP*/, int32_t /*NITER*/,
                      Workspace& ws) {
  double* currentValues = ws.currentValues;
  const double* nextValues = ws.nextValues;
  forEachPointRange(N, ws.workers, [&](int32_t begin, int32_t end, int32_t /*worker*/) {
    for (int32_t i = begin; i < end; ++i) currentValues[i] = nextValues[i];
  });
}

void runIterations(int32_t N, int32_t NN, int32_t NTRIP, int32_t NITER, Workspace& ws) {
  for (int32_t k = 0; k < NITER; ++k) {
    // The passes all read the current values; the commit waits for them.
    smoothAllPoints(N, NN, NTRIP, NITER, ws);
    commitNextValues(N, NN, NTRIP, NITER, ws);
  }
}
