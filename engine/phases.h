// The smoothing phases that run between loading and writing. Each takes the
// control numbers N, NN, NTRIP and NITER first and works on the module-level
// arrays of work_arrays.h.
#ifndef TESSEL_ENGINE_PHASES_H_
#define TESSEL_ENGINE_PHASES_H_

#include <cstdint>

// Neighbour lists order points by ascending distance; at equal distance the
// owner first, then ascending point index.
//
// The exhaustive search, the reference: computeDistances fills every list
// with all N points, sortNeighbors sorts them. Lists need room for N.
void computeDistances(int32_t N, int32_t NN, int32_t NTRIP, int32_t NITER);
void sortNeighbors(int32_t N, int32_t NN, int32_t NTRIP, int32_t NITER);

// Builds the grid search's grid over the N points and records its order of
// the points (visitOrder). findNearestNeighbors does it when not done.
void orderPointsInGrid(int32_t N);

// The grid search: fills each list with exactly its first min(NN, N - 1) + 1
// entries of the exhaustive order, the same distances bit for bit. Uses
// neighborScratch (N entries) and every worker.
void findNearestNeighbors(int32_t N, int32_t NN, int32_t NTRIP, int32_t NITER);

// The order in which the later phases visit the points: the grid's order
// after a grid search of N points (neighbours lie close together, so their
// values stay in the cache), otherwise null for index order. Every point is
// treated on its own, so any order gives the same results.
const int32_t* visitOrder(int32_t N);
void forgetVisitOrder();

// Entries each list is given in a run: min(NN, N - 1) + 1, or N in the
// reference build (TESSEL_EXHAUSTIVE_NEIGHBORS), which runs the exhaustive
// search instead of the grid search. 0 when N is 0.
int32_t neighborListLength(int32_t N, int32_t NN);

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
