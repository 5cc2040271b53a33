// The iteration loop and its two bookkeeping phases: extrapolation of the
// end triples' values before the passes, and the commit after them.
#include <cstdint>

#include "engine/parallel.h"
#include "engine/passes.h"
#include "engine/phases.h"
#include "engine/work_arrays.h"

void extrapolateEndValues(int32_t N, int32_t /*NN*/, int32_t /*NTRIP*/,
                          int32_t /*NITER*/, double* currentValues) {
  const int32_t* order = visitOrder(N);
  forEachPointRange(N, [&](int32_t begin, int32_t end, int32_t /*worker*/) {
    for (int32_t k = begin; k < end; ++k) {
      extrapolateEndValuesAt(order == nullptr ? k : order[k], currentValues);
    }
  });
}

void commitNextValues(int32_t N, int32_t /*NN*/, int32_t /*NTRIP*/,
                      int32_t /*NITER*/, double* currentValues) {
  forEachPointRange(N, [&](int32_t begin, int32_t end, int32_t /*worker*/) {
    for (int32_t i = begin; i < end; ++i) currentValues[i] = nextValues[i];
  });
}

void runIterations(int32_t N, int32_t NN, int32_t NTRIP, int32_t NITER,
                   double* currentValues) {
  for (int32_t k = 0; k < NITER; ++k) {
    // extrapolateEndValues, smoothInteriorPoints and smoothEndPoints, in
    // one sweep over the points; the commit waits for all of them.
    smoothAllPoints(N, NTRIP, currentValues);
    commitNextValues(N, NN, NTRIP, NITER, currentValues);
  }
}
