// The smoothing phases on small hand-computed point sets: neighbour lists,
// triple selection, the two passes and the iteration loop.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "engine/numerics.h"
#include "engine/phases.h"
#include "engine/work_arrays.h"

namespace {

// Points the engine's module-level arrays at storage owned by the test and
// clears them again afterwards. Rates default to 0, weights to 1.
struct WorkArrays {
  int32_t n;
  std::vector<PointCoord> coords;
  std::vector<PointCoord*> coordPointers;
  std::vector<double> rateList, weightList, current, next;
  std::vector<std::vector<double>> endRows;
  std::vector<double*> endPointers;
  std::vector<NeighborEntry> scratch;
  std::vector<std::vector<NeighborEntry>> entries;
  std::vector<NeighborList> lists;
  std::vector<std::vector<Triple>> triples;
  std::vector<TripleSet> sets;

  WorkArrays(const std::vector<PointCoord>& points, int32_t ntrip,
             const std::vector<double>& r = {},
             const std::vector<double>& w = {})
      : n(static_cast<int32_t>(points.size())), coords(points),
        rateList(r.empty() ? std::vector<double>(n, 0.0) : r),
        weightList(w.empty() ? std::vector<double>(n, 1.0) : w),
        current(rateList), next(rateList),
        endRows(n, std::vector<double>(ntrip, 0.0)), scratch(n),
        entries(n, std::vector<NeighborEntry>(n)), lists(n),
        triples(n, std::vector<Triple>(ntrip)), sets(n) {
    for (int32_t i = 0; i < n; ++i) {
      coordPointers.push_back(&coords[i]);
      endPointers.push_back(endRows[i].data());
      lists[i] = {-1, entries[i].data()};
      sets[i] = {0, 0, triples[i].data()};
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
  }

  // Neighbour search and both selection phases, as a run does them.
  void select(int32_t nn, int32_t ntrip, double thetaStar) {
    computeDistances(n, nn, ntrip, 0);
    sortNeighbors(n, nn, ntrip, 0);
    selectInteriorTriples(n, nn, ntrip, 0, thetaStar);
    selectEndTriples(n, nn, ntrip, 0, thetaStar);
  }

  void setTriples(int32_t point, int32_t interior, int32_t end,
                  const std::vector<Triple>& list) {
    sets[point].interiorCount = interior;
    sets[point].endCount = end;
    for (size_t k = 0; k < list.size(); ++k) triples[point][k] = list[k];
  }
};

std::vector<PointCoord> grid(int side) {
  std::vector<PointCoord> points;
  for (int row = 0; row < side; ++row) {
    for (int col = 0; col < side; ++col) {
      points.push_back({double(col), double(row)});
    }
  }
  return points;
}

const std::vector<PointCoord> kFiveOnALine = {
    {0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}};

Triple pair(int32_t first, int32_t second, double endFactor = 0.0) {
  return Triple{first, second, 1.0, 1.0, 0.0, endFactor};
}

// ---- neighbour lists ----

TEST(NeighborLists, SortedByDistanceThenOwnerThenIndex) {
  struct Case {
    const char* name;
    std::vector<PointCoord> points;
    int32_t owner;
    std::vector<int32_t> order;
    std::vector<double> distances;
  };
  const double r2 = pointDistance({0, 0}, {1, 1});
  const Case cases[] = {
      {"first of three", {{0, 0}, {3, 4}, {6, 8}}, 0, {0, 1, 2}, {0, 5, 10}},
      {"middle of three: tie in index order",
       {{0, 0}, {3, 4}, {6, 8}}, 1, {1, 0, 2}, {0, 5, 5}},
      {"grid centre", grid(3), 4, {4, 1, 3, 5, 7, 0, 2, 6, 8},
       {0, 1, 1, 1, 1, r2, r2, r2, r2}},
      {"coincident point after the owner",
       {{1, 1}, {0, 0}, {1, 1}}, 2, {2, 0, 1}, {0, 0, r2}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WorkArrays arrays(c.points, 1);
    computeDistances(arrays.n, 1, 1, 0);
    sortNeighbors(arrays.n, 1, 1, 0);
    const NeighborList& list = neighborLists[c.owner];
    EXPECT_EQ(list.owner, c.owner);
    for (size_t k = 0; k < c.order.size(); ++k) {
      EXPECT_EQ(list.entries[k].index, c.order[k]) << k;
      EXPECT_EQ(list.entries[k].distance, c.distances[k]) << k;
    }
  }
}

// ---- triple selection ----

TEST(TripleSelection, FiveCollinearPoints) {
  WorkArrays arrays(kFiveOnALine, 7);
  arrays.select(2, 7, 135.0);
  struct Expect {
    int32_t interior, end, first, second;
    double endFactor;
  };
  const Expect expect[] = {
      {0, 1, 1, 2, 2.0}, {1, 0, 0, 2, 0.0}, {1, 0, 1, 3, 0.0},
      {1, 0, 2, 4, 0.0}, {0, 1, 3, 2, 2.0}};
  for (int32_t p = 0; p < 5; ++p) {
    SCOPED_TRACE(p);
    const TripleSet& set = tripleSets[p];
    EXPECT_EQ(set.interiorCount, expect[p].interior);
    EXPECT_EQ(set.endCount, expect[p].end);
    EXPECT_EQ(set.triples[0].first, expect[p].first);
    EXPECT_EQ(set.triples[0].second, expect[p].second);
    EXPECT_EQ(set.triples[0].lineOffset, 0.0);
    if (expect[p].end > 0) {
      // cos(PI) is not quite -1 since PI is not pi: 2 within rounding.
      EXPECT_NEAR(set.triples[0].endFactor, expect[p].endFactor, 1e-14);
    }
  }
}

TEST(TripleSelection, ThresholdAngle) {
  struct Case {
    const char* name;
    std::vector<PointCoord> points;
    double thetaStar;
    int32_t interiorAtZero;
    int32_t endAtZero;
  };
  const Case cases[] = {
      {"135 degrees read as 134.999998, rejected at 135",
       {{0, 0}, {1, 0}, {-1, 1}}, 135.0, 0, 0},
      {"accepted at 134.9", {{0, 0}, {1, 0}, {-1, 1}}, 134.9, 1, 0},
      {"straight angle rejected at 180",
       {{0, 0}, {1, 0}, {-1, 0}}, 180.0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WorkArrays arrays(c.points, 3);
    arrays.select(2, 3, c.thetaStar);
    EXPECT_EQ(tripleSets[0].interiorCount, c.interiorAtZero);
    EXPECT_EQ(tripleSets[0].endCount, c.endAtZero);
  }
}

// The centre of a 3 × 3 grid has four straight pairs, all at lineOffset 0;
// a cut at two keeps the first two generated: the row and column through it
// by the nearest neighbours (1,7) and (3,5).
TEST(TripleSelection, EqualLineOffsetsKeepGenerationOrder) {
  WorkArrays arrays(grid(3), 2);
  arrays.select(8, 2, 135.0);
  const TripleSet& centre = tripleSets[4];
  ASSERT_EQ(centre.interiorCount, 2);
  EXPECT_EQ(centre.triples[0].first, 1);
  EXPECT_EQ(centre.triples[0].second, 7);
  EXPECT_EQ(centre.triples[1].first, 3);
  EXPECT_EQ(centre.triples[1].second, 5);
}

// Coincident points leave zero distances; such pairs are skipped instead of
// dividing by zero.
TEST(TripleSelection, ZeroDistancePairsAreSkipped) {
  const std::vector<PointCoord> points = {{0, 0}, {0, 0}, {1, 0}, {2, 0}};
  WorkArrays arrays(points, 4);
  arrays.select(3, 4, 135.0);
  const TripleSet& set = tripleSets[0];
  EXPECT_EQ(set.interiorCount, 0);
  ASSERT_EQ(set.endCount, 1);
  EXPECT_EQ(set.triples[0].first, 2);
  EXPECT_EQ(set.triples[0].second, 3);
  EXPECT_NEAR(set.triples[0].endFactor, 2.0, 1e-14);
}

// ---- smoothing passes ----

struct PassCase {
  const char* name;
  double value;
  double weight;
  double expected;
};

// Point 0 lies between two triples whose neighbours hold (2, 4) and (3, 5):
// screens 2.5 and 4.5 with total weight 4.
TEST(InteriorPass, ClampsBetweenTheScreensUnlessHeld) {
  const PassCase cases[] = {
      {"lowered to the high screen", 10, 1, 4.5},
      {"held by weight 2", 10, 2, 10},
      {"raised to the low screen", 0, 1, 2.5},
      {"inside the screens", 3, 1, 3},
      {"equal to the high screen", 4.5, 1, 4.5},
  };
  for (const PassCase& c : cases) {
    SCOPED_TRACE(c.name);
    WorkArrays arrays(grid(3), 2, {c.value, 2, 4, 3, 5, 0, 0, 0, 0},
                      {c.weight, 1, 1, 1, 1, 1, 1, 1, 1});
    arrays.setTriples(0, 2, 0, {pair(1, 2), pair(3, 4)});
    smoothInteriorPoints(arrays.n, 2, 2, 1, currentValues);
    EXPECT_EQ(nextValues[0], c.expected);
    EXPECT_EQ(nextValues[1], 2.0);  // no triples: untouched
  }
}

// Point 0 with one end triple: middle point 4 (weight 1), far point 2
// (weight 3), endFactor 0.5, so the extrapolated value is 5.
TEST(EndPass, ClampsToTheExtrapolatedScreen) {
  const PassCase cases[] = {
      {"lowered to 5", 7, 1, 5},
      {"held by weight 2", 7, 2, 7},
      {"raised to 4", 1, 1, 4},
  };
  for (const PassCase& c : cases) {
    SCOPED_TRACE(c.name);
    WorkArrays arrays({{0, 0}, {1, 0}, {2, 0}}, 1, {c.value, 4, 2},
                      {c.weight, 1, 3});
    arrays.setTriples(0, 0, 1, {pair(1, 2, 0.5)});
    extrapolateEndValues(arrays.n, 2, 1, 1, currentValues);
    EXPECT_EQ(endValues[0][0], 5.0);
    smoothEndPoints(arrays.n, 2, 1, 1, currentValues);
    EXPECT_EQ(nextValues[0], c.expected);
  }
}

// Equal middle and far values extrapolate to that value, which goes on both
// lists; the screens are that value and the point moves to it.
TEST(EndPass, EqualValuesGoOnBothLists) {
  WorkArrays arrays({{0, 0}, {1, 0}, {2, 0}}, 1, {9, 3, 3}, {1, 1, 1});
  arrays.setTriples(0, 0, 1, {pair(1, 2, 2.0)});
  extrapolateEndValues(arrays.n, 2, 1, 1, currentValues);
  EXPECT_EQ(endValues[0][0], 3.0);
  smoothEndPoints(arrays.n, 2, 1, 1, currentValues);
  EXPECT_EQ(nextValues[0], 3.0);
}

// ---- iterations ----

// Five points on a line, NN 2: the inner three use interior triples, the
// two ends extrapolate. Values worked by hand per iteration.
TEST(Iterations, FiveCollinearPoints) {
  struct Case {
    int32_t iterations;
    std::vector<double> expected;
  };
  const Case cases[] = {
      {-1, {0, 1, 10, 3, 4}},
      {0, {0, 1, 10, 3, 4}},
      {1, {0, 1, 3, 4, 3}},
      {2, {0, 1, 3, 3, 4}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.iterations);
    WorkArrays arrays(kFiveOnALine, 7, {0, 1, 10, 3, 4});
    arrays.select(2, 7, 135.0);
    runIterations(arrays.n, 2, 7, c.iterations, currentValues);
    for (int32_t i = 0; i < 5; ++i) {
      EXPECT_EQ(currentValues[i], c.expected[i]) << i;
    }
  }
}

// ThetaStar 180 accepts no triple of either kind.
TEST(Iterations, PointsWithoutTriplesKeepTheirRates) {
  WorkArrays arrays(kFiveOnALine, 7, {5, -1, 8, 2, 7});
  arrays.select(2, 7, 180.0);
  runIterations(arrays.n, 2, 7, 5, currentValues);
  const double expected[] = {5, -1, 8, 2, 7};
  for (int32_t i = 0; i < 5; ++i) EXPECT_EQ(currentValues[i], expected[i]);
}

}  // namespace
