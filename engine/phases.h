// The smoothing phases between loading and writing. Each takes the control
// numbers N, NN, NTRIP and NITER first (the ones a phase does not need play
// no part) and the WorkArrays of the run, which it reads and writes;
// smoothing.h runs them in order.
#ifndef TESSEL_ENGINE_PHASES_H_
#define TESSEL_ENGINE_PHASES_H_

#include <cstdint>
#include <functional>

#include "engine/kd_tree.h"
#include "engine/work_arrays.h"

namespace tessel {

// Neighbour lists order points by ascending distance; at equal distance the
// owner first, then ascending point index.
//
// The exhaustive search, the reference method's: computeDistances fills
// every list with all N points, sortNeighbors sorts them. Lists need room
// for N (exhaustive_search.cpp).
void computeDistances(int32_t N, int32_t NN, int32_t NTRIP, int32_t NITER, WorkArrays& ws);
void sortNeighbors(int32_t N, int32_t NN, int32_t NTRIP, int32_t NITER, WorkArrays& ws);

// Triple selection, once per run: for each point its interior triples
// (the point between two neighbours) or, failing those, its end triples (a
// neighbour between the point and a farther one), from the first
// min(NN, N - 1) + 1 entries of its list (triple_selection.cpp).
// selectTriplesFrom takes point p's list from listOf(p, worker), on the
// workers; selectTriples reads the lists the exhaustive search left in the
// workspace.
using NeighborListSource = std::function<const NeighborEntry*(int32_t p, int32_t worker)>;
void selectTriplesFrom(int32_t N, int32_t NN, int32_t NTRIP, double ThetaStar, WorkArrays& ws,
                       const NeighborListSource& listOf);
void selectTriples(int32_t N, int32_t NN, int32_t NTRIP, int32_t NITER, double ThetaStar,
                   WorkArrays& ws);
// The nearest-neighbour search and triple selection in one sweep: each
// point's list comes from the tree into a list of the worker's and serves
// the point's selection at once, so no list outlives its point. Point p of
// the workspace is point tree.order()[p] of the tree: the run has
// renumbered its points in the tree's leaf order, in which the lists come
// (neighbor_sweep.cpp).
void findNeighborsAndSelectTriples(int32_t N, int32_t NN, int32_t NTRIP, int32_t NITER,
                                   double ThetaStar, const KdTree& tree, WorkArrays& ws);
// One iteration in one sweep over the points: for each point in turn the
// extrapolation of its end values (extrapolateEndValuesAt), then the
// interior pass and the end pass on it (smoothInteriorPoint,
// smoothEndPoint). Each reads only currentValues and the point's own end
// values and writes only the point's own entries, so this gives what the
// three phases give when each runs over all points in turn. With `changed`
// (the commit's flags of the last iteration) a point is skipped when
// neither its value nor any value its triples read changed: the same inputs
// would give the value nextValues holds already. exactSums: the weights are
// integerWeights, so sums of list weights are exact. keepScreens: every
// point's screens are computed and kept in ws.diagnostics, with whether its
// weight held it (the last iteration of a run asked for diagnostics, which
// skips no point, so that every point's record is this iteration's).
void smoothAllPoints(int32_t N, int32_t NN, int32_t NTRIP, int32_t NITER, WorkArrays& ws,
                     const uint8_t* changed = nullptr, bool exactSums = false,
                     bool keepScreens = false);

// True when every weight is an integer from 1 to 2^40: then every sum of at
// most 160 screen-list weights (weights, their minima and half sums) is exact
// in whatever order it is formed.
bool integerWeights(const double* weights, int32_t N);

// Copies nextValues into currentValues; changed[i] tells whether point i's
// value changed (in any bit). With lastChange, the points that changed get
// lastChange[i] = iteration (at most 255).
void commitNextValues(int32_t N, int32_t NN, int32_t NTRIP, int32_t NITER, WorkArrays& ws,
                      uint8_t* changed, uint8_t* lastChange = nullptr, int32_t iteration = 0);

// Runs exactly NITER iterations (none when NITER <= 0): smoothAllPoints,
// then commitNextValues; with ws.diagnostics, the last one keeps the
// screens.
void runIterations(int32_t N, int32_t NN, int32_t NTRIP, int32_t NITER, WorkArrays& ws);

}  // namespace tessel

#endif  // TESSEL_ENGINE_PHASES_H_
