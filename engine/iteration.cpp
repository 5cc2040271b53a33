// The iteration loop and its two bookkeeping phases: extrapolation of the
// end triples' values before the passes, and the commit after them.
#include <cstdint>

#include "engine/parallel.h"
#include "engine/phases.h"
#include "engine/work_arrays.h"

void extrapolateEndValues(int32_t N, int32_t /*NN*/, int32_t /*NTRIP*/,
                          int32_t /*NITER*/, double* currentValues) {
  const int32_t* order = visitOrder(N);
  forEachPointRange(N, [&](int32_t begin, int32_t end, int32_t /*worker*/) {
    for (int32_t k = begin; k < end; ++k) {
      const int32_t i = order == nullptr ? k : order[k];
      const int32_t c = tripleSets[i].endCount;
      const Triple* triples = tripleSets[i].triples;
      for (int32_t j = 0; j < c; ++j) {
        // The middle point's value continued away from the far point.
        const double middle = currentValues[triples[j].first];
        const double farValue = currentValues[triples[j].second];
        const long double difference =
            static_cast<long double>(middle) - farValue;
        endValues[i][j] = static_cast<double>(
            difference * triples[j].endFactor + middle);
      }
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
    extrapolateEndValues(N, NN, NTRIP, NITER, currentValues);
    smoothInteriorPoints(N, NN, NTRIP, NITER, currentValues);
    smoothEndPoints(N, NN, NTRIP, NITER, currentValues);
    commitNextValues(N, NN, NTRIP, NITER, currentValues);
  }
}
