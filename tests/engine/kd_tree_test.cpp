// The k-d tree against the exhaustive search (every pair measured, every
// list sorted), on uniform points and hostile coordinates: the first
// entries of every list, distances bit for bit. (Whole runs meet the
// exhaustive search in differential_test.cpp.)
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "engine/kd_tree.h"
#include "engine/phases.h"
#include "engine/workspace_fixture.h"

using namespace tessel;

namespace {

using Points = std::vector<PointCoord>;

// n points point(k, a, b), with a and b drawn uniformly from [-1, 1).
template <class Point>
Points make(int32_t n, Point point) {
  std::mt19937_64 random(n);
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  Points c;
  for (int32_t k = 0; k < n; ++k) {
    const double a = unit(random), b = unit(random);
    c.push_back(point(k, a, b));
  }
  return c;
}

TEST(KdTree, ListsAreTheFirstEntriesOfTheExhaustiveOrder) {
  const double x[] = {0x1.c7d7cf8d57bbdp+0, 0x1.1559f3911c90dp-42, -0x1.c7d7cf8d57312p+0};
  // Points 2 and 0 lie at the same exact distance from point 1, on both
  // sides of a split, where a gap rounded to double would exceed it.
  const auto rounding = [&x](int32_t k, double, double) {
    return PointCoord{k < 3 ? x[k] : (k % 2 ? 1000.0 : -1000.0) + k, 0.0};
  };
  // Distances that overflow to inf (ties at inf), and squares that underflow.
  const auto huge = [](int32_t k, double a, double b) {
    const double far = k % 3 == 0 ? 8e307 : 1e154;
    return PointCoord{std::round(2 * a) * far, far * b};
  };
  const auto tiny = [](int32_t k, double a, double b) {
    const double scale = k % 2 ? 1e-160 : 1e-310;
    return PointCoord{std::floor(4.5 * (a + 1)) * scale, std::floor(4.5 * (b + 1)) * scale};
  };
  const auto uniform = [](int32_t, double a, double b) { return PointCoord{a, b}; };
  const auto equal = [](int32_t, double, double) { return PointCoord{3, -7}; };
  const std::pair<const char*, Points> layouts[] = {
      {"uniform", make(2000, uniform)}, {"equal", make(300, equal)},
      {"one", {{1e300, -1e300}}},       {"two", {{0, 0}, {1e-300, 0}}},
      {"rounding", make(18, rounding)}, {"huge", make(500, huge)},
      {"tiny", make(500, tiny)}};
  for (const auto& layout : layouts) {
    SCOPED_TRACE(layout.first);
    const Points& c = layout.second;
    const int32_t n = static_cast<int32_t>(c.size());
    LoadedWorkspace exhaustive(c, n, 1);
    computeDistances(n, n - 1, 1, 0, exhaustive.ws);
    sortNeighbors(n, n - 1, 1, 0, exhaustive.ws);
    const KdTree tree(c.data(), n);
    std::vector<NeighborEntry> list(static_cast<size_t>(n));
    for (int32_t at = 0; at < n; ++at) {
      const int32_t i = tree.order()[at];
      const NeighborEntry* want = exhaustive.ws.neighborLists[i].entries;
      for (int32_t count : {1, 2, 11, 101, n - 1, n}) {
        if (count < 1 || count > n) continue;
        tree.nearest(at, count, list.data());
        for (int32_t k = 0; k < count; ++k) {
          const NeighborEntry got = {tree.order()[list[k].index], list[k].distance};
          ASSERT_TRUE(got.index == want[k].index &&
                      std::memcmp(&got.distance, &want[k].distance, sizeof(double)) == 0)
              << "owner " << i << " count " << count << " entry " << k << ": got " << got.index
              << " at " << got.distance << ", want " << want[k].index << " at " << want[k].distance;
        }
      }
    }
  }
}

}  // namespace
