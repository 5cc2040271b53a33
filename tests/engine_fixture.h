// Test set-up shared by the engine's unit tests and the end-to-end reference:
// WorkArrays points the engine's module-level work arrays at storage the test
// owns (rates 0 and weights 1 unless given, neighbour lists with room for
// every point unless a room is given) and clears them again; Workers fixes
// the worker count while it lives.
#ifndef TESSEL_TESTS_ENGINE_FIXTURE_H_
#define TESSEL_TESTS_ENGINE_FIXTURE_H_

#include <cstdint>
#include <vector>

#include "engine/parallel.h"
#include "engine/phases.h"
#include "engine/work_arrays.h"

struct WorkArrays {
  int32_t n;
  std::vector<PointCoord> coords;
  std::vector<double> rateList, weightList, current, next;
  std::vector<std::vector<double>> endRows;
  std::vector<NeighborEntry> scratch;
  std::vector<std::vector<NeighborEntry>> entries;
  std::vector<std::vector<Triple>> triples;
  std::vector<PointCoord*> coordPointers;
  std::vector<double*> endPointers;
  std::vector<NeighborList> lists;
  std::vector<TripleSet> sets;

  WorkArrays(const std::vector<PointCoord>& points, int32_t ntrip,
             const std::vector<double>& r = {}, const std::vector<double>& w = {},
             int32_t listRoom = -1)
      : n(static_cast<int32_t>(points.size())), coords(points),
        rateList(r.empty() ? std::vector<double>(n, 0.0) : r),
        weightList(w.empty() ? std::vector<double>(n, 1.0) : w),
        current(rateList), next(rateList), endRows(n, std::vector<double>(ntrip)),
        scratch(n), entries(n, std::vector<NeighborEntry>(listRoom < 0 ? n : listRoom)),
        triples(n, std::vector<Triple>(ntrip)) {
    for (int32_t i = 0; i < n; ++i) {
      coordPointers.push_back(&coords[i]);
      endPointers.push_back(endRows[i].data());
      lists.push_back({-1, entries[i].data()});  // the search sets owners
      sets.push_back({0, 0, triples[i].data()});
    }
    pointCoords = coordPointers.data();
    rates = rateList.data();
    weights = weightList.data();
    currentValues = current.data();
    nextValues = next.data();
    endValues = endPointers.data();
    neighborScratch = scratch.data();
    neighborLists = lists.data();
    tripleSets = sets.data();
  }

  ~WorkArrays() {
    pointCoords = nullptr;
    rates = weights = currentValues = nextValues = nullptr;
    endValues = nullptr;
    neighborScratch = nullptr;
    neighborLists = nullptr;
    tripleSets = nullptr;
    forgetVisitOrder();
  }

  // The exhaustive search (lists need room for every point) or the grid search.
  void findNeighbors(int32_t nn, bool exhaustive) {
    if (exhaustive) {
      computeDistances(n, nn, 0, 0);
      sortNeighbors(n, nn, 0, 0);
    } else {
      findNearestNeighbors(n, nn, 0, 0);
    }
  }

  // Search, both selection phases and niter iterations, as a run does them,
  // without the run's renumbering of the points; the values end in current.
  void run(int32_t nn, int32_t ntrip, int32_t niter, double thetaStar,
           bool exhaustive = true) {
    findNeighbors(nn, exhaustive);
    selectInteriorTriples(n, nn, ntrip, niter, thetaStar);
    selectEndTriples(n, nn, ntrip, niter, thetaStar);
    runIterations(n, nn, ntrip, niter, currentValues);
  }
};

struct Workers {
  explicit Workers(int32_t count) { setWorkerCount(count); }
  ~Workers() { setWorkerCount(0); }
};

#endif  // TESSEL_TESTS_ENGINE_FIXTURE_H_
