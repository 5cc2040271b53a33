// Triple selection at the thresholds and ties. (The k-d tree is checked
// against the exhaustive lists in kd_tree_test.cpp, and the passes and whole
// runs against the reference method in differential_test.cpp.)
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "engine/phases.h"
#include "engine/smoothing.h"
#include "engine/workspace_fixture.h"

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
    LoadedWorkspace loaded(c.points, c.nn, c.ntrip);
    smoothLoadedPoints(loaded.n, c.nn, c.ntrip, 0, c.thetaStar, loaded.ws);
    const TripleSet& set = loaded.ws.tripleSets[c.point];
    ASSERT_EQ(set.interiorCount, c.interior);
    ASSERT_EQ(set.endCount, c.end);
    const Triple* triples = loaded.ws.triples(c.point);
    std::vector<int32_t> pairs;
    for (int32_t j = 0; j < c.interior + c.end; ++j) {
      pairs.insert(pairs.end(), {triples[j].first, triples[j].second});
    }
    EXPECT_EQ(pairs, c.pairs);
    if (c.end > 0) {
      EXPECT_NEAR(loaded.ws.endFactors(c.point)[0], c.endFactor, c.endFactor == 2 ? 1e-14 : 1e-7);
    }
  }
}

}  // namespace
