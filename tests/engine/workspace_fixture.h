// Test set-up for the engine's phases: a one-worker Workspace on the silent
// allocation policy, allocated for the given points with exhaustive lists
// and loaded as a caller loads it (rates 0 and weights 1 unless given).
#ifndef TESSEL_TESTS_ENGINE_WORKSPACE_FIXTURE_H_
#define TESSEL_TESTS_ENGINE_WORKSPACE_FIXTURE_H_

#include <cstdint>
#include <vector>

#include "engine/smoothing.h"

struct LoadedWorkspace {
  RaisingAllocation policy;
  Workspace ws;
  int32_t n;

  LoadedWorkspace(const std::vector<PointCoord>& points, int32_t nn, int32_t ntrip,
                  const std::vector<double>& r = {}, const std::vector<double>& w = {})
      : ws(policy, 1), n(static_cast<int32_t>(points.size())) {
    ws.allocateWorkArrays(n, neighborCountFor(n, nn), ntrip, NeighborSearch::kExhaustive);
    for (int32_t i = 0; i < n; ++i) {
      ws.pointCoords[i] = points[i];
      ws.rates[i] = ws.currentValues[i] = ws.nextValues[i] = r.empty() ? 0.0 : r[i];
      ws.weights[i] = w.empty() ? 1.0 : w[i];
    }
  }
};

#endif  // TESSEL_TESTS_ENGINE_WORKSPACE_FIXTURE_H_
