// The smoothing phases: triple selection at the thresholds and ties, and
// both passes against a plain statement of their rule. (The k-d tree is
// checked against the exhaustive lists in kd_tree_test.cpp, and whole runs
// against the reference method in differential_test.cpp.)
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "engine/passes.h"
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
    std::vector<int32_t> pairs;
    for (int32_t j = 0; j < c.interior + c.end; ++j) {
      pairs.insert(pairs.end(), {set.triples[j].first, set.triples[j].second});
    }
    EXPECT_EQ(pairs, c.pairs);
    if (c.end > 0) {
      EXPECT_NEAR(loaded.ws.endFactors(c.point)[0], c.endFactor, c.endFactor == 2 ? 1e-14 : 1e-7);
    }
  }
}

// Both passes against a plain statement of their rule: the pairs on the
// lists (an end triple's far value replaced by the extrapolated one, with
// the smaller weight), std::stable_sort, weightedMedian of each whole list,
// then the clamp unless c·w reaches the total weight. Random lists of up to
// 40 triples, ties everywhere, weights whose sums round (so the order of
// equal values shows) or that hold the point; through the one-sweep
// iteration.
TEST(Passes, MatchThePlainRuleOnRandomLists) {
  std::mt19937_64 random(11);
  const int32_t n = 81;
  const double kWeights[] = {1.0, 1e16, 3.0, 0.1, 0.0, 1.0, 1e16};
  const double kFactors[] = {0.5, 2.0, 1.5};
  auto byValue = [](const ScreenEntry& a, const ScreenEntry& b) { return a.value < b.value; };
  for (int round = 0; round < 2000; ++round) {
    const int32_t c = 1 + round % 40;
    const bool ends = round / 40 % 2 == 1;
    std::vector<double> values(n), weightList(n);
    for (int32_t i = 0; i < n; ++i) {
      values[i] = static_cast<double>(random() % 3);
      // Every third round small integers, whose sums are all exact.
      weightList[i] = round % 3 == 2 ? double(1 + random() % 8 / 7) : kWeights[random() % 7];
    }
    LoadedWorkspace loaded(std::vector<PointCoord>(n), 2, c, values, weightList);
    TripleSet& set = loaded.ws.tripleSets[0];
    set.interiorCount = ends ? 0 : c;
    set.endCount = ends ? c : 0;
    std::vector<ScreenEntry> high, low;
    double highTotal = 0, lowTotal = 0;  // running totals, rounded at each step
    for (int32_t j = 0; j < c; ++j) {
      const double factor = ends ? kFactors[random() % 3] : 0.0;
      set.triples[j] = {1 + 2 * j, 2 + 2 * j};
      loaded.ws.endFactors(0)[j] = factor;
      double va = values[1 + 2 * j], vb = values[2 + 2 * j];
      double wa = weightList[1 + 2 * j], wb = weightList[2 + 2 * j];
      if (ends) {
        vb = static_cast<double>((static_cast<long double>(va) - vb) * factor + va);
        wb = std::min(wa, wb);
      }
      // Equal values go on both lists with the mean weight; the totals grow
      // by the unrounded mean.
      const long double half = (static_cast<long double>(wa) + wb) * 0.5L;
      if (va == vb) wa = wb = static_cast<double>(half);
      high.push_back(va < vb ? ScreenEntry{vb, wb} : ScreenEntry{va, wa});
      low.push_back(va < vb ? ScreenEntry{va, wa} : ScreenEntry{vb, wb});
      highTotal = static_cast<double>(highTotal + (va == vb ? half : high.back().weight));
      lowTotal = static_cast<double>(lowTotal + (va == vb ? half : low.back().weight));
    }
    const long double total = static_cast<long double>(highTotal) + lowTotal;
    std::stable_sort(high.begin(), high.end(), byValue);
    std::stable_sort(low.begin(), low.end(), byValue);
    double highScreen = 0, lowScreen = 0;
    weightedMedian(high.data(), c, c, &highScreen);
    weightedMedian(low.data(), c, c, &lowScreen);
    double want = values[0];
    if (static_cast<long double>(c) * weightList[0] < total) {
      want = values[0] < lowScreen ? lowScreen : values[0] > highScreen ? highScreen : values[0];
    }
    runIterations(n, 2, c, 1, loaded.ws);
    EXPECT_EQ(0, std::memcmp(&loaded.ws.currentValues[0], &want, sizeof want)) << round;
  }
}

}  // namespace
