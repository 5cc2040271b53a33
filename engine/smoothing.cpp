// The core's run: the k-d tree, renumbering for locality, the search with
// triple selection, iterations, and the values put back in the caller's
// order.
#include "engine/smoothing.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <stdexcept>

#include "engine/parallel.h"
#include "engine/phases.h"

namespace {

// Once the k-d tree is built the points are numbered in its leaf order, so
// that points near each other in the plane lie near each other in every
// array and the phases after it read their neighbours' data from the cache.
// The lists keep their order (the tree breaks ties by the caller's numbers)
// and each point is treated on its own, so the results do not change; the
// values go back to the caller's order at the end. Measured on 1,000,000
// uniform points with the default options, a run without it takes 1.3
// times the processor time and 1.29 times the wall time of a run with it.

// Moves values between the caller's order and the tree's through one
// scratch copy, reused for every array and both ways.
class Reorderer {
 public:
  Reorderer(int32_t N, int32_t workers, const int32_t* order)
      : N(N < 0 ? 0 : N), workers(workers), order(order),
        scratch(new double[static_cast<size_t>(this->N)]) {}

  // values[k] = old values[order[k]].
  void gather(double* values) {
    copyOut(values);
    forEachPointRange(N, workers, [&](int32_t begin, int32_t end, int32_t /*worker*/) {
      for (int32_t k = begin; k < end; ++k) values[k] = scratch[order[k]];
    });
  }

  // values[order[k]] = old values[k].
  void scatter(double* values) {
    copyOut(values);
    forEachPointRange(N, workers, [&](int32_t begin, int32_t end, int32_t /*worker*/) {
      for (int32_t k = begin; k < end; ++k) values[order[k]] = scratch[k];
    });
  }

 private:
  void copyOut(const double* values) {
    forEachPointRange(N, workers, [&](int32_t begin, int32_t end, int32_t /*worker*/) {
      std::memcpy(&scratch[begin], values + begin,
                  static_cast<size_t>(end - begin) * sizeof(double));
    });
  }

  const int32_t N;
  const int32_t workers;
  const int32_t* const order;
  const std::unique_ptr<double[]> scratch;
};

}  // namespace

LimitCheck checkLimits(int32_t NN, int32_t NTRIP, int32_t NITER) {
  if (NN > kMaxNN || NTRIP > kMaxNTRIP || NITER > kMaxNITER) return LimitCheck::kTooBig;
  if (NN < 0 || NTRIP < 0) return LimitCheck::kNegative;
  return LimitCheck::kWithinLimits;
}

int32_t neighborCountFor(int32_t N, int32_t NN) {
  return N >= 1 && NN >= N ? N - 1 : NN;
}

void smoothLoadedPoints(int32_t N, int32_t NN, int32_t NTRIP, int32_t NITER, double ThetaStar,
                        Workspace& ws) {
  // The phases size their scratch by these limits.
  if (checkLimits(NN, NTRIP, NITER) != LimitCheck::kWithinLimits) {
    throw std::invalid_argument("control numbers outside their limits");
  }
  auto done = [&ws](const char* phase) {
    if (ws.phaseDone) ws.phaseDone(phase);
  };
  if (ws.search == NeighborSearch::kExhaustive) {
    computeDistances(N, NN, NTRIP, NITER, ws);
    sortNeighbors(N, NN, NTRIP, NITER, ws);
    done("search");
    selectTriples(N, NN, NTRIP, NITER, ThetaStar, ws);
    done("triples");
    runIterations(N, NN, NTRIP, NITER, ws);
    done("iterations");
    return;
  }
  // The coordinates are finite: the front end reads only plain decimals
  // within the double range, and library callers are refused others.
  const KdTree tree(ws.pointCoords, N, ws.workers);
  done("k-d tree");
  // Renumbered: point order[k] becomes point k.
  Reorderer reorder(N, ws.workers, tree.order());
  forEachPointRange(N, ws.workers, [&](int32_t begin, int32_t end, int32_t /*worker*/) {
    for (int32_t k = begin; k < end; ++k) ws.pointCoords[k] = tree.coordinates(k);
  });
  for (double* values : {ws.rates, ws.weights, ws.currentValues, ws.nextValues}) {
    reorder.gather(values);
  }
  done("renumbering");
  findNeighborsAndSelectTriples(N, NN, NTRIP, NITER, ThetaStar, tree, ws);
  done("search and triples");
  runIterations(N, NN, NTRIP, NITER, ws);
  done("iterations");
  // Only the result goes back: no caller reads the other arrays afterwards.
  reorder.scatter(ws.currentValues);
  done("caller's order");
}

void smooth(const SmoothingOptions& options, const PointColumns& points, Workspace& ws,
            double* values) {
  const int32_t N = points.N;
  if (checkLimits(options.NN, options.NTRIP, options.NITER) != LimitCheck::kWithinLimits) {
    throw std::invalid_argument("control numbers outside their limits");
  }
  const int32_t NN = neighborCountFor(N, options.NN);
  ws.allocateWorkArrays(N, NN, options.NTRIP, options.search);
  forEachPointRange(N, ws.workers, [&](int32_t begin, int32_t end, int32_t /*worker*/) {
    for (int32_t i = begin; i < end; ++i) {
      ws.pointCoords[i] = {points.x[i], points.y[i]};
      ws.rates[i] = points.rate[i];
      ws.weights[i] = points.weight[i];
      ws.currentValues[i] = ws.nextValues[i] = points.rate[i];
    }
  });
  smoothLoadedPoints(N, NN, options.NTRIP, options.NITER, options.ThetaStar, ws);
  if (N > 0) std::memcpy(values, ws.currentValues, static_cast<size_t>(N) * sizeof(double));
}
