// The smoothing phases on small hand-computed point sets: neighbour lists,
// triple selection, the two passes and the iteration loop.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "engine/numerics.h"
#include "engine/parallel.h"
#include "engine/passes.h"
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
  void select(int32_t nn, int32_t ntrip, double thetaStar, bool exhaustive = true) {
    if (exhaustive) {
      computeDistances(n, nn, ntrip, 0);
      sortNeighbors(n, nn, ntrip, 0);
    } else {
      findNearestNeighbors(n, nn, ntrip, 0);
    }
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

// The interior pass against a plain statement of its rule (std::stable_sort,
// weightedMedian on both whole lists, then the clamp) on random lists of up
// to 20 pairs: ties everywhere, NaN now and then, weights that hold the
// point or not. One iteration (the fused sweep) equals the four phases run
// one after another, end triples included.
TEST(InteriorPass, MatchesThePlainRuleOnRandomLists) {
  std::mt19937_64 random(11);
  const double kNan = std::nan("");
  const int32_t n = 41;
  for (int round = 0; round < 300; ++round) {
    const int32_t c = 1 + round % 20;
    std::vector<double> values(n), weightList(n);
    for (int32_t i = 0; i < n; ++i) {
      values[i] = random() % 50 == 0 ? kNan : static_cast<double>(random() % 3);
      // Weights whose sums round, so that the order of equal values shows.
      const double kWeights[] = {1.0, 1e16, 3.0, 0.1, 0.0, 1.0, 1e16};
      weightList[i] = kWeights[random() % 7];
    }
    WorkArrays arrays(std::vector<PointCoord>(n, PointCoord{0, 0}), c, values, weightList);
    std::vector<Triple> triples;
    for (int32_t j = 0; j < c; ++j) triples.push_back(pair(1 + 2 * j, 2 + 2 * j));
    arrays.setTriples(0, c, 0, triples);
    smoothInteriorPoints(n, 2, c, 1, currentValues);
    std::vector<ScreenEntry> high, low;
    long double total = 0;
    for (int32_t j = 0; j < c; ++j) {
      const double va = values[1 + 2 * j], vb = values[2 + 2 * j];
      const double wa = weightList[1 + 2 * j], wb = weightList[2 + 2 * j];
      if (va < vb || va > vb) {
        high.push_back(va < vb ? ScreenEntry{vb, wb} : ScreenEntry{va, wa});
        low.push_back(va < vb ? ScreenEntry{va, wa} : ScreenEntry{vb, wb});
      } else {
        const double half = static_cast<double>((static_cast<long double>(wa) + wb) * 0.5L);
        high.push_back({va, half});
        low.push_back({va, half});
      }
      total += static_cast<long double>(high.back().weight) + low.back().weight;
    }
    auto byValue = [](const ScreenEntry& a, const ScreenEntry& b) { return a.value < b.value; };
    // NaN breaks a strict weak order; the pass sorts such lists by insertion.
    const bool comparable = std::none_of(values.begin(), values.begin() + 2 * c + 1,
                                         [](double v) { return std::isnan(v); });
    if (!comparable) continue;
    std::stable_sort(high.begin(), high.end(), byValue);
    std::stable_sort(low.begin(), low.end(), byValue);
    double highScreen = 0, lowScreen = 0;
    weightedMedian(high.data(), c, c, &highScreen);
    weightedMedian(low.data(), c, c, &lowScreen);
    double want = values[0];
    if (static_cast<long double>(c) * weightList[0] < total) {
      if (values[0] < lowScreen) {
        want = lowScreen;
      } else if (values[0] > highScreen) {
        want = highScreen;
      }
    }
    EXPECT_EQ(0, std::memcmp(&nextValues[0], &want, sizeof want)) << "round " << round;
  }
}

TEST(Iterations, OneSweepEqualsTheFourPhases) {
  const std::vector<PointCoord> points = {{0, 0}, {1, 0}, {2, 0.1}, {3, 0}, {4, 0.2},
                                          {2, 1},  {1, 2}, {3, 2},   {2, 3}, {5, 1}};
  const std::vector<double> start = {5, 1, 8, 2, 7, 3, 9, 4, 6, 0};
  std::vector<double> want;
  {
    WorkArrays fused(points, 7, start);
    fused.select(4, 7, 135.0);
    runIterations(fused.n, 4, 7, 1, currentValues);
    want = fused.current;
  }
  WorkArrays phased(points, 7, start);
  phased.select(4, 7, 135.0);
  int32_t endPoints = 0;
  for (int32_t i = 0; i < phased.n; ++i) endPoints += tripleSets[i].endCount > 0;
  EXPECT_GT(endPoints, 0);
  extrapolateEndValues(phased.n, 4, 7, 1, currentValues);
  smoothInteriorPoints(phased.n, 4, 7, 1, currentValues);
  smoothEndPoints(phased.n, 4, 7, 1, currentValues);
  commitNextValues(phased.n, 4, 7, 1, currentValues);
  EXPECT_EQ(phased.current, want);
  EXPECT_NE(want, start);
}

// ---- grid search against the exhaustive search ----

// Point sets that stress the search: ties, clusters far below the grid's
// cell size, a line, coincident points, large coordinates with tiny gaps.
std::vector<PointCoord> pointSet(const char* kind, int32_t n) {
  std::mt19937_64 random(static_cast<uint64_t>(n) * 7919u + static_cast<uint64_t>(kind[0]));
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  std::normal_distribution<double> spread(0.0, 1.0);
  std::vector<PointCoord> points;
  for (int32_t k = 0; k < n; ++k) {
    const double t = unit(random);
    if (std::strcmp(kind, "uniform") == 0) {
      points.push_back({unit(random), t});
    } else if (std::strcmp(kind, "clustered") == 0) {
      const double scale = k % 3 == 0 ? 1e-9 : 1e-3;
      const double centre = static_cast<double>(k % 5);
      points.push_back({centre + scale * spread(random), centre * 0.5 + scale * spread(random)});
    } else if (std::strcmp(kind, "grid") == 0) {
      points.push_back({static_cast<double>(k % 37), static_cast<double>(k / 37)});
    } else if (std::strcmp(kind, "line") == 0) {
      points.push_back({0.25 * k, 0.5 * k});
    } else if (std::strcmp(kind, "coincident") == 0) {
      points.push_back({static_cast<double>(k % 7), static_cast<double>(k % 3)});
    } else {  // "offset"
      points.push_back({1e6 + 1e-6 * unit(random), -1e6 + 1e-6 * t});
    }
  }
  return points;
}

TEST(GridSearch, FindsTheFirstEntriesOfTheExhaustiveLists) {
  const char* kinds[] = {"uniform", "clustered", "grid", "line", "coincident", "offset"};
  const int32_t sizes[] = {1, 2, 5, 11, 1200};
  const int32_t neighbourCounts[] = {0, 1, 4, 10, 40};
  for (const char* kind : kinds) {
    for (int32_t n : sizes) {
      const std::vector<PointCoord> points = pointSet(kind, n);
      WorkArrays reference(points, 1);
      computeDistances(n, 0, 1, 0);
      sortNeighbors(n, 0, 1, 0);
      const std::vector<std::vector<NeighborEntry>> full = reference.entries;
      for (int32_t nn : neighbourCounts) {
        for (int32_t workers : {1, 3}) {
          SCOPED_TRACE(::testing::Message() << kind << " n=" << n << " nn=" << nn
                                            << " workers=" << workers);
          setWorkerCount(workers);
          WorkArrays arrays(points, 1);
          findNearestNeighbors(n, nn, 1, 0);
          setWorkerCount(0);
          const int32_t length = std::min(nn, n - 1) + 1;
          int32_t mismatches = 0;
          for (int32_t i = 0; i < n; ++i) {
            EXPECT_EQ(neighborLists[i].owner, i);
            for (int32_t k = 0; k < length; ++k) {
              const NeighborEntry& got = neighborLists[i].entries[k];
              const NeighborEntry& want = full[i][k];
              // Bit for bit: the same distance, not merely an equal one.
              if (got.index != want.index ||
                  std::memcmp(&got.distance, &want.distance, sizeof(double)) != 0) {
                ++mismatches;
              }
            }
          }
          EXPECT_EQ(mismatches, 0);
        }
      }
    }
  }
}

// Triples and smoothed values from the grid search with any worker count
// equal those from the exhaustive search on one worker, bit for bit.
TEST(GridSearch, SelectionAndPassesMatchTheReferenceOnAnyWorkerCount) {
  for (const char* kind : {"uniform", "grid", "clustered"}) {
    const int32_t n = 1500;
    const std::vector<PointCoord> points = pointSet(kind, n);
    std::vector<double> rateList, weightList;
    for (int32_t i = 0; i < n; ++i) {
      rateList.push_back((i * 37 % 101) * 0.37);
      weightList.push_back(1.0 + i % 9 * 0.5);
    }
    std::vector<double> want;
    std::vector<int32_t> wantTriples;
    for (int32_t workers : {1, 2, 3}) {
      SCOPED_TRACE(::testing::Message() << kind << " workers=" << workers);
      setWorkerCount(workers);
      WorkArrays arrays(points, 7, rateList, weightList);
      arrays.select(10, 7, 135.0, /*exhaustive=*/workers == 1);
      runIterations(n, 10, 7, 3, currentValues);
      setWorkerCount(0);
      std::vector<int32_t> triples;
      for (int32_t i = 0; i < n; ++i) {
        triples.push_back(tripleSets[i].interiorCount * 100 + tripleSets[i].endCount);
        for (int32_t j = 0; j < tripleSets[i].interiorCount + tripleSets[i].endCount; ++j) {
          triples.push_back(tripleSets[i].triples[j].first);
          triples.push_back(tripleSets[i].triples[j].second);
        }
      }
      if (workers == 1) {
        want = arrays.current;
        wantTriples = triples;
        continue;
      }
      EXPECT_EQ(triples, wantTriples);
      EXPECT_EQ(0, std::memcmp(arrays.current.data(), want.data(), n * sizeof(double)));
    }
  }
}

}  // namespace
