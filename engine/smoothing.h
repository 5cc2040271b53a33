// The order of a run's phases: on WorkArrays allocated for N points and
// loaded, the neighbour search, triple selection and NITER iterations, each
// phase announced to the progress reporter. Afterwards currentValues, the
// result, is in the caller's point order; the other arrays are in the
// order the run chose. The public Workspace::run calls it.
#ifndef TESSEL_ENGINE_SMOOTHING_H_
#define TESSEL_ENGINE_SMOOTHING_H_

#include <cstdint>

#include "engine/work_arrays.h"

namespace tessel {

// The control numbers must have passed checkLimits; NN is the run's
// neighbour count (neighborCountFor), as allocated.
void smoothLoadedPoints(int32_t N, int32_t NN, int32_t NTRIP, int32_t NITER, double ThetaStar,
                        WorkArrays& ws);

}  // namespace tessel

#endif  // TESSEL_ENGINE_SMOOTHING_H_
