// Triple selection at the thresholds and ties, whose exact tests both
// methods share (the k-d tree is checked against brute force in
// point_index_test.cpp, and the passes and whole runs against the reference
// method in differential_test.cpp).
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "engine/phases.h"
#include "engine/smoothing.h"
#include "engine/work_arrays.h"

using namespace tessel;

namespace {

// count points at x = first, first + 1, ... on the x axis.
std::vector<PointCoord> line(int count, int first) {
  std::vector<PointCoord> points;
  for (int k = 0; k < count; ++k) points.push_back({double(first + k), 0.0});
  return points;
}

// The triples of one point: counts, the pairs kept and the first end
// triple's endFactor (PI is not pi: 2 only within rounding).
TEST(TripleSelection, Table) {
  struct Case {
    const char* name;
    std::vector<PointCoord> points;
    int32_t nn, point, interior, end;
    double thetaStar;
    std::vector<int32_t> pairs;
    double endFactor;
    int32_t ntrip;
  };
  const std::vector<PointCoord> diagonal = {{0, 0}, {1, 0}, {-1, 1}},
                                twoWays = {{0, 0}, {1, 0}, {-1.5, 0.3}, {-2, 0.05}};
  const Case cases[] = {
      {"end of a line", line(5, 0), 2, 0, 0, 1, 135, {1, 2}, 2, 7},
      {"middle of a line", line(5, 0), 2, 2, 1, 0, 135, {1, 3}, 0, 7},
      {"end off the line", {{0, 0}, {1, 0}, {3, 0.5}}, 2, 0, 0, 1, 135, {1, 2}, 16.0 / 17, 7},
      {"end angle 145 < 157.5", {{0, 0}, {1, 0}, {2, 0.7}}, 2, 0, 0, 0, 135, {}, 0, 7},
      {"134.999998 degrees rejected at 135", diagonal, 2, 0, 0, 0, 135, {}, 0, 7},
      {"and accepted at 134.9", diagonal, 2, 0, 1, 0, 134.9, {1, 2}, 0, 7},
      {"straight angle rejected at 180", line(3, -1), 2, 1, 0, 0, 180, {}, 0, 7},
      {"zero distances skipped", {{0, 0}, {0, 0}, {1, 0}, {2, 0}}, 3, 0, 0, 1, 135, {2, 3}, 2, 7},
      {"the straighter of two, made second", twoWays, 3, 0, 1, 0, 135, {1, 3}, 0, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // One worker, the reference method's whole lists, rates 0 and weights 1.
    RaisingAllocation policy;
    const ProgressHook hook;
    WorkArrays ws(policy, 1, hook);
    const int32_t n = static_cast<int32_t>(c.points.size());
    ws.allocate(n, neighborCountFor(n, c.nn), c.ntrip, Method::kReference);
    for (int32_t i = 0; i < n; ++i) ws.loadPoint(i, c.points[i].x, c.points[i].y, 0.0, 1.0);
    smoothLoadedPoints(n, c.nn, c.ntrip, 0, c.thetaStar, ws);
    ASSERT_EQ(ws.tripleSets[c.point].interiorCount, c.interior);
    ASSERT_EQ(ws.tripleSets[c.point].endCount, c.end);
    std::vector<int32_t> pairs;
    for (int32_t j = 0; j < c.interior + c.end; ++j) {
      pairs.insert(pairs.end(), {ws.triples(c.point)[j].first, ws.triples(c.point)[j].second});
    }
    EXPECT_EQ(pairs, c.pairs);
    if (c.end > 0) {
      EXPECT_NEAR(ws.endFactors(c.point)[0], c.endFactor, c.endFactor == 2 ? 1e-14 : 1e-7);
    }
  }
}

}  // namespace
