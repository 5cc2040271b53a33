// Test set-up for the engine's phases: one-worker WorkArrays on the silent
// allocation policy, allocated for the given points with the reference
// method's whole lists and loaded as a caller loads them (rates 0 and
// weights 1 unless given).
#ifndef TESSEL_TESTS_ENGINE_WORKSPACE_FIXTURE_H_
#define TESSEL_TESTS_ENGINE_WORKSPACE_FIXTURE_H_

#include <cstdint>
#include <vector>

#include "engine/work_arrays.h"

struct LoadedWorkspace {
  tessel::RaisingAllocation policy;
  tessel::ProgressHook hook;
  tessel::WorkArrays ws;
  int32_t n;

  LoadedWorkspace(const std::vector<tessel::PointCoord>& points, int32_t nn, int32_t ntrip,
                  const std::vector<double>& r = {}, const std::vector<double>& w = {})
      : ws(policy, 1, hook), n(static_cast<int32_t>(points.size())) {
    ws.allocate(n, tessel::neighborCountFor(n, nn), ntrip, tessel::Method::kReference);
    for (int32_t i = 0; i < n; ++i) {
      ws.loadPoint(i, points[i].x, points[i].y, r.empty() ? 0.0 : r[i], w.empty() ? 1.0 : w[i]);
    }
  }
};

#endif  // TESSEL_TESTS_ENGINE_WORKSPACE_FIXTURE_H_
