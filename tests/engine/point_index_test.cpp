// The k-d tree against brute force (every distance measured by
// tessel::distance): the public PointIndex's k nearest distances and ball
// queries, and the tree's own neighbour lists (owner first, then by
// distance and index), on layouts where a pruned node or point is easily
// one that belongs: coincident points, lines, lattices full of equal
// distances, coordinates whose squares overflow or underflow, bounds and
// radii exactly equal to a distance. Two indexes of different worker
// counts must answer byte for byte alike. (Whole runs meet the exhaustive
// search in differential_test.cpp.)
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>
#include <limits>
#include <random>
#include <utility>
#include <vector>

#include "engine/kd_tree.h"
#include "tessel/tessel.h"

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

// The layouts, in the order of their points in pointOf.
const std::pair<const char*, int> kLayouts[] = {
    {"none", 0},         {"one", 1},       {"two", 2},    {"uniform", 600},
    {"coincident", 300}, {"stacks", 400},  {"line", 400}, {"diagonal", 400},
    {"lattice", 576},    {"rounding", 40}, {"huge", 400}, {"tiny", 400}};

// Point k of layout `layout`, from a and b drawn uniformly from [-1, 1).
// In "rounding", points 2 and 0 lie at the same measured distance from
// point 1, on both sides of a split, where a gap rounded to double exceeds
// it; in "huge", squares overflow to inf (ties at inf); in "tiny" they
// vanish.
std::pair<double, double> pointOf(size_t layout, int k, double a, double b) {
  const double rounding[] = {0x1.c7d7cf8d57bbdp+0, 0x1.1559f3911c90dp-42, -0x1.c7d7cf8d57312p+0};
  const double far = k % 3 == 0 ? 8e307 : 1e154, small = k % 2 ? 1e-160 : 1e-310;
  const std::pair<double, double> at[] = {
      {0, 0},
      {1e300, -1e300},
      {k * 1e-300, 0},
      {a, b},
      {3, -7},
      {std::floor(3 * a), std::floor(3 * b)},
      {0.25, a},
      {k * 0.1, k * 0.3},
      {k % 24, k / 24},
      {k < 3 ? rounding[k] : (k % 2 ? 1000.0 : -1000.0) + k, 0.0},
      {std::round(2 * a) * far, far * b},
      {std::floor(4.5 * (a + 1)) * small, std::floor(4.5 * (b + 1)) * small}};
  return at[layout];
}

bool sameBytes(const double* a, const double* b, size_t count) {
  return count == 0 || std::memcmp(a, b, count * sizeof(double)) == 0;
}

TEST(PointIndex, AnswersAsBruteForceDoes) {
  for (size_t layout = 0; layout < std::size(kLayouts); ++layout) {
    SCOPED_TRACE(kLayouts[layout].first);
    const int32_t n = kLayouts[layout].second;
    std::mt19937_64 random(n);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    std::vector<double> x, y;
    std::vector<tessel::PointCoord> coords;
    for (int k = 0; k < n; ++k) {
      const double a = unit(random), b = unit(random);
      const auto p = pointOf(layout, k, a, b);
      x.push_back(p.first), y.push_back(p.second), coords.push_back({p.first, p.second});
    }
    const tessel::PointIndex index(n, x.data(), y.data(), 1);
    const tessel::PointIndex parallel(n, x.data(), y.data(), 4);
    const tessel::KdTree tree(coords.data(), n);
    std::vector<int32_t> leaf(n);
    for (int32_t at = 0; at < n; ++at) leaf[tree.order()[at]] = at;
    // Queries: every point as itself and as a stranger, midpoints of pairs
    // and small moves off a point.
    std::vector<double> qx, qy;
    std::vector<int64_t> self;
    const auto query = [&](double px, double py, int64_t s) {
      qx.push_back(px), qy.push_back(py), self.push_back(s);
    };
    for (int32_t i = 0; i < n; ++i) {
      const int32_t j = random() % n;
      query(x[i], y[i], i);
      if (i % 3 == 0) query(x[i], y[i], -1);
      if (i % 5 == 0) query(x[i] / 2 + x[j] / 2, y[i] / 2 + y[j] / 2, -1);
      if (i % 5 == 0) query(std::nextafter(x[i], kInf), y[j], -1);
    }
    query(0, 0, -1);
    query(-1e308, 1e308, n > 0 ? 0 : -1);
    const int64_t m = static_cast<int64_t>(qx.size());
    // Per query: its distance to every point, and the points but the
    // excluded one by distance and index.
    std::vector<std::vector<double>> all(m);
    std::vector<std::vector<std::pair<double, int64_t>>> sorted(m);
    std::vector<tessel::NeighborEntry> list(n);
    for (int64_t q = 0; q < m; ++q) {
      for (int32_t i = 0; i < n; ++i) {
        all[q].push_back(tessel::distance(qx[q], qy[q], x[i], y[i]));
        if (i != self[q]) sorted[q].push_back({all[q].back(), i});
      }
      std::sort(sorted[q].begin(), sorted[q].end());
      if (self[q] < 0 || qx[q] != x[self[q]] || qy[q] != y[self[q]]) continue;
      // A point's own list: itself, then the points by distance and index.
      for (int32_t count : {1, 2, 11, 101, n - 1, n}) {
        if (count < 1 || count > n) continue;
        tree.nearest(leaf[self[q]], count, list.data());
        for (int32_t e = 0; e < count; ++e) {
          const auto want = e == 0 ? std::make_pair(0.0, self[q]) : sorted[q][e - 1];
          ASSERT_TRUE(tree.order()[list[e].index] == want.second &&
                      sameBytes(&list[e].distance, &want.first, 1))
              << "list of " << self[q] << " count " << count << " entry " << e;
        }
      }
    }
    // A batch per choice of limits (none, zero, ones that admit nothing,
    // some of the query's distances exactly and just below; a different one
    // for neighbouring queries) and k.
    for (size_t choice = 0; choice < 8; ++choice) {
      std::vector<double> limit;
      for (int64_t q = 0; q < m; ++q) {
        std::vector<double> limits = {kInf, 0.0, -1.0, std::nan("")};
        for (size_t at : {size_t{0}, size_t{1}, size_t{4}, size_t{10}, sorted[q].size() / 2,
                          sorted[q].size() - 1}) {
          if (at >= sorted[q].size()) continue;
          limits.push_back(sorted[q][at].first);
          limits.push_back(std::nextafter(sorted[q][at].first, 0.0));
        }
        limit.push_back(limits[(choice + q) % limits.size()]);
      }
      for (int32_t k : {0, 1, 3, 10, n - 1, n + 5}) {
        if (k < 0) continue;
        std::vector<double> got(m * k), again(m * k);
        index.nearestDistances(m, qx.data(), qy.data(), self.data(), k, limit.data(), got.data());
        parallel.nearestDistances(m, qx.data(), qy.data(), self.data(), k, limit.data(),
                                  again.data());
        for (int64_t q = 0; q < m; ++q) {
          std::vector<double> want;
          for (size_t j = 0; j < static_cast<size_t>(k); ++j) {
            const bool in = j < sorted[q].size() && sorted[q][j].first <= limit[q];
            want.push_back(in ? sorted[q][j].first : kInf);
          }
          ASSERT_TRUE(sameBytes(got.data() + q * k, want.data(), k))
              << "nearest: query " << q << " (" << qx[q] << ", " << qy[q] << ") self " << self[q]
              << " k " << k << " bound " << limit[q];
        }
        ASSERT_TRUE(sameBytes(got.data(), again.data(), got.size()));
      }
      std::vector<int64_t> offsets(m + 1), points, offsets4(m + 1), points4;
      index.within(m, qx.data(), qy.data(), limit.data(), offsets.data(), points);
      parallel.within(m, qx.data(), qy.data(), limit.data(), offsets4.data(), points4);
      ASSERT_TRUE(offsets == offsets4 && points == points4);
      ASSERT_EQ(static_cast<int64_t>(points.size()), offsets[m]);
      for (int64_t q = 0; q < m; ++q) {
        std::vector<int64_t> want;
        for (int32_t i = 0; i < n; ++i) {
          if (all[q][i] <= limit[q]) want.push_back(i);
        }
        std::vector<int64_t> found(points.begin() + offsets[q], points.begin() + offsets[q + 1]);
        std::sort(found.begin(), found.end());
        ASSERT_EQ(found, want) << "within: query " << q << " (" << qx[q] << ", " << qy[q]
                               << ") radius " << limit[q];
      }
    }
    std::vector<double> cx(n), cy(n);
    index.coordinates(cx.data(), cy.data());
    EXPECT_TRUE(sameBytes(cx.data(), x.data(), n) && sameBytes(cy.data(), y.data(), n));
  }
}

}  // namespace
