// The smoothing phases that run between loading and writing. Each takes the
// control numbers N, NN, NTRIP and NITER first and works on the module-level
// arrays of work_arrays.h.
#ifndef TESSEL_ENGINE_PHASES_H_
#define TESSEL_ENGINE_PHASES_H_

#include <cstdint>

// Neighbour search: every list holds all points by ascending distance; at
// equal distance the owner first, then ascending point index.
void computeDistances(int32_t N, int32_t NN, int32_t NTRIP, int32_t NITER);
void sortNeighbors(int32_t N, int32_t NN, int32_t NTRIP, int32_t NITER);

// Triple selection, once per run.
void selectInteriorTriples(int32_t N, int32_t NN, int32_t NTRIP, int32_t NITER,
                           double ThetaStar);
void selectEndTriples(int32_t N, int32_t NN, int32_t NTRIP, int32_t NITER,
                      double ThetaStar);

// The four phases of one iteration, in this order.
void extrapolateEndValues(int32_t N, int32_t NN, int32_t NTRIP, int32_t NITER,
                          double* currentValues);
void smoothInteriorPoints(int32_t N, int32_t NN, int32_t NTRIP, int32_t NITER,
                          double* currentValues);
void smoothEndPoints(int32_t N, int32_t NN, int32_t NTRIP, int32_t NITER,
                     double* currentValues);
void commitNextValues(int32_t N, int32_t NN, int32_t NTRIP, int32_t NITER,
                      double* currentValues);

// Runs exactly NITER iterations (none when NITER <= 0).
void runIterations(int32_t N, int32_t NN, int32_t NTRIP, int32_t NITER,
                   double* currentValues);

#endif  // TESSEL_ENGINE_PHASES_H_
