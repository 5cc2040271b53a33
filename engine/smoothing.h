// The smoothing core's entry points. A caller creates a Workspace (with its
// AllocationPolicy and worker count), then either
//   - hands smooth() the points as four columns and receives one smoothed
//     value per point, or
//   - does the steps itself, as the console program does to read the points
//     straight into the work arrays: checkLimits, allocateWorkArrays with
//     neighborCountFor(N, NN), fill pointCoords, rates, weights,
//     currentValues and nextValues, then smoothLoadedPoints.
// The core does no file or console I/O and keeps no state outside the
// workspace. Memory refusals surface as the policy decides (RaisingAllocation
// and the standard containers: std::bad_alloc, from any worker).
#ifndef TESSEL_ENGINE_SMOOTHING_H_
#define TESSEL_ENGINE_SMOOTHING_H_

#include <cstdint>

#include "engine/workspace.h"

// Upper limits of the control numbers (each bound itself is allowed).
constexpr int32_t kMaxNN = 100;
constexpr int32_t kMaxNTRIP = 80;
constexpr int32_t kMaxNITER = 100;

enum class LimitCheck { kWithinLimits, kTooBig, kNegative };

// kTooBig when NN, NTRIP or NITER exceeds its limit (checked first),
// kNegative when NN or NTRIP is below 0. NITER below 0 runs no iteration.
LimitCheck checkLimits(int32_t NN, int32_t NTRIP, int32_t NITER);

// The neighbour count a run of N points uses: NN is a maximum, and with
// fewer other points every point takes them all.
int32_t neighborCountFor(int32_t N, int32_t NN);

struct SmoothingOptions {
  int32_t NN = 10;           // neighbours per point (at most)
  int32_t NTRIP = 7;         // triples per point (at most)
  int32_t NITER = 10;        // iterations
  double ThetaStar = 135.0;  // threshold angle, degrees
  NeighborSearch search = NeighborSearch::kNearest;
};

// Four columns of N points.
struct PointColumns {
  const double* x;
  const double* y;
  const double* rate;
  const double* weight;
  int32_t N;
};

// Smooths the points: allocateWorkArrays, loading from the columns, then
// smoothLoadedPoints; values[i] receives point i's smoothed value. Options
// that fail checkLimits throw std::invalid_argument (the caller checks and
// reports first).
void smooth(const SmoothingOptions& options, const PointColumns& points, Workspace& ws,
            double* values);

// On a workspace allocated for N points with NN = neighborCountFor(N, NN)
// and loaded: the neighbour search, triple selection and NITER iterations
// (std::invalid_argument for control numbers that fail checkLimits).
// Afterwards currentValues, the result, is in the caller's point order
// again; the other arrays are in the order the run chose.
void smoothLoadedPoints(int32_t N, int32_t NN, int32_t NTRIP, int32_t NITER, double ThetaStar,
                        Workspace& ws);

#endif  // TESSEL_ENGINE_SMOOTHING_H_
