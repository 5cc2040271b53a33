// The public PointIndex against brute force (every distance measured by
// tessel::distance), on layouts where a pruned node or point is easily
// one that belongs: coincident points, lines, lattices full of equal
// distances, coordinates whose squares overflow or underflow, bounds and
// radii exactly equal to a distance. Two indexes of different worker
// counts must answer byte for byte alike.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "tessel/tessel.h"

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

using P = std::pair<double, double>;

// The layouts and their point counts.
const struct {
  const char* name;
  int n;
} kLayouts[] = {{"none", 0},         {"one", 1},       {"two", 2},    {"uniform", 600},
                {"coincident", 300}, {"stacks", 400},  {"line", 400}, {"diagonal", 400},
                {"lattice", 576},    {"rounding", 40}, {"huge", 400}, {"tiny", 400}};

// Point k of a layout, from a and b drawn uniformly from [-1, 1).
P place(const std::string& name, int k, double a, double b) {
  if (name == "one") return {1e300, -1e300};
  if (name == "two") return {k * 1e-300, 0};
  if (name == "uniform") return {a, b};
  if (name == "coincident") return {3, -7};
  if (name == "stacks") return {std::floor(3 * a), std::floor(3 * b)};
  if (name == "line") return {0.25, a};
  if (name == "diagonal") return {k * 0.1, k * 0.3};
  if (name == "lattice") return {k % 24, k / 24};
  if (name == "rounding") {
    // Points 2 and 0 lie at the same measured distance from point 1, on
    // both sides of a split, where a gap rounded to double exceeds it.
    const double x[] = {0x1.c7d7cf8d57bbdp+0, 0x1.1559f3911c90dp-42, -0x1.c7d7cf8d57312p+0};
    return {k < 3 ? x[k] : (k % 2 ? 1000.0 : -1000.0) + k, 0.0};
  }
  if (name == "huge") {  // squares that overflow to inf: ties at inf
    const double far = k % 3 == 0 ? 8e307 : 1e154;
    return {std::round(2 * a) * far, far * b};
  }
  // tiny: squares that vanish
  const double scale = k % 2 ? 1e-160 : 1e-310;
  return {std::floor(4.5 * (a + 1)) * scale, std::floor(4.5 * (b + 1)) * scale};
}

struct Layout {
  std::string name;
  std::vector<double> x, y;
};

Layout make(const char* name, int n) {
  std::mt19937_64 random(n);
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  Layout layout{name, {}, {}};
  for (int k = 0; k < n; ++k) {
    const double a = unit(random), b = unit(random);
    const P p = place(name, k, a, b);
    layout.x.push_back(p.first);
    layout.y.push_back(p.second);
  }
  return layout;
}

struct Query {
  double x, y;
  int64_t self;
};

// Every point as itself and as a stranger, and points between and beside
// them: midpoints of pairs and small moves off a point.
std::vector<Query> queriesOf(const Layout& layout) {
  std::vector<Query> queries;
  const size_t n = layout.x.size();
  std::mt19937_64 random(7);
  for (size_t i = 0; i < n; ++i) {
    queries.push_back({layout.x[i], layout.y[i], static_cast<int64_t>(i)});
    if (i % 3 == 0) queries.push_back({layout.x[i], layout.y[i], -1});
    const size_t j = random() % n;
    if (i % 5 == 0) {
      queries.push_back({layout.x[i] / 2 + layout.x[j] / 2, layout.y[i] / 2 + layout.y[j] / 2, -1});
      queries.push_back({std::nextafter(layout.x[i], kInf), layout.y[j], -1});
    }
  }
  queries.push_back({0, 0, -1});
  queries.push_back({-1e308, 1e308, n > 0 ? 0 : -1});
  return queries;
}

// Bounds and radii for a query: none, zero, ones that admit nothing, and
// some of its distances (near, middle, last) exactly and just below.
std::vector<double> limitsFor(const std::vector<double>& d) {
  std::vector<double> limits = {kInf, 0.0, -1.0, std::nan("")};
  for (size_t at : {size_t{0}, size_t{1}, size_t{4}, size_t{10}, d.size() / 2, d.size() - 1}) {
    if (at >= d.size()) continue;
    limits.push_back(d[at]);
    limits.push_back(std::nextafter(d[at], 0.0));
  }
  return limits;
}

bool sameBytes(const double* a, const double* b, size_t count) {
  return count == 0 || std::memcmp(a, b, count * sizeof(double)) == 0;
}

TEST(PointIndex, AnswersAsBruteForceDoes) {
  for (const auto& entry : kLayouts) {
    const Layout layout = make(entry.name, entry.n);
    SCOPED_TRACE(layout.name);
    const int64_t n = static_cast<int64_t>(layout.x.size());
    const tessel::PointIndex index(n, layout.x.data(), layout.y.data(), 1);
    const tessel::PointIndex parallel(n, layout.x.data(), layout.y.data(), 4);
    const std::vector<Query> queries = queriesOf(layout);
    const int64_t m = static_cast<int64_t>(queries.size());
    // Per query: its distance to every point, and those but the excluded
    // point's ascending.
    std::vector<std::vector<double>> all, sorted;
    std::vector<double> qx, qy;
    std::vector<int64_t> self;
    for (const Query& q : queries) {
      all.emplace_back();
      sorted.emplace_back();
      for (int64_t i = 0; i < n; ++i) {
        all.back().push_back(tessel::distance(q.x, q.y, layout.x[i], layout.y[i]));
        if (i != q.self) sorted.back().push_back(all.back().back());
      }
      std::sort(sorted.back().begin(), sorted.back().end());
      qx.push_back(q.x), qy.push_back(q.y), self.push_back(q.self);
    }
    // A batch per choice of limits (each query's own, a different one for
    // neighbouring queries) and k.
    for (size_t choice = 0; choice < 8; ++choice) {
      std::vector<double> limit;
      for (int64_t q = 0; q < m; ++q) {
        const std::vector<double> limits = limitsFor(sorted[q]);
        limit.push_back(limits[(choice + q) % limits.size()]);
      }
      for (int32_t k : {0, 1, 3, 10, static_cast<int32_t>(n) - 1, static_cast<int32_t>(n) + 5}) {
        if (k < 0) continue;
        std::vector<double> got(m * k), again(m * k);
        index.nearestDistances(m, qx.data(), qy.data(), self.data(), k, limit.data(), got.data());
        parallel.nearestDistances(m, qx.data(), qy.data(), self.data(), k, limit.data(),
                                  again.data());
        for (int64_t q = 0; q < m; ++q) {
          std::vector<double> want;
          for (size_t j = 0; j < static_cast<size_t>(k); ++j) {
            want.push_back(j < sorted[q].size() && sorted[q][j] <= limit[q] ? sorted[q][j] : kInf);
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
      ASSERT_EQ(offsets, offsets4);
      ASSERT_EQ(points, points4);
      ASSERT_EQ(static_cast<int64_t>(points.size()), offsets[m]);
      for (int64_t q = 0; q < m; ++q) {
        std::vector<int64_t> want;
        for (int64_t i = 0; i < n; ++i) {
          if (all[q][i] <= limit[q]) want.push_back(i);
        }
        std::vector<int64_t> found(points.begin() + offsets[q], points.begin() + offsets[q + 1]);
        std::sort(found.begin(), found.end());
        ASSERT_EQ(found, want) << "within: query " << q << " (" << qx[q] << ", " << qy[q]
                               << ") radius " << limit[q];
      }
    }
    std::vector<double> x(n), y(n);
    index.coordinates(x.data(), y.data());
    EXPECT_TRUE(sameBytes(x.data(), layout.x.data(), n) && sameBytes(y.data(), layout.y.data(), n));
  }
}

}  // namespace
