// The k-d tree against a brute-force statement of the exhaustive order, on
// uniform points and hostile coordinates. (The whole program
// meets the exhaustive search on every benchmark layout in
// e2e/scale_test.cpp.)
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <random>
#include <vector>

#include "engine/kd_tree.h"
#include "engine/numerics.h"

namespace {

using Points = std::vector<PointCoord>;

// The first `count` of every point with its distance from i (measured from
// the lower index, the owner's own 0 written), by distance, the owner first
// at a tie, then index.
std::vector<NeighborEntry> bruteForce(const Points& c, int32_t i, int32_t count) {
  std::vector<NeighborEntry> all;
  for (int32_t j = 0; j < static_cast<int32_t>(c.size()); ++j) {
    const double d = i == j ? 0.0 : pointDistance(c[std::min(i, j)], c[std::max(i, j)]);
    all.push_back({j, d});
  }
  auto rank = [i](int32_t j) { return j == i ? -1 : j; };
  auto before = [&](const NeighborEntry& a, const NeighborEntry& b) {
    return a.distance < b.distance || (a.distance == b.distance && rank(a.index) < rank(b.index));
  };
  std::nth_element(all.begin(), all.begin() + (count - 1), all.end(), before);
  std::sort(all.begin(), all.begin() + count, before);
  return all;
}

Points make(int32_t n, const std::function<PointCoord(std::mt19937_64&, int32_t)>& point) {
  std::mt19937_64 random(n);
  Points c;
  for (int32_t k = 0; k < n; ++k) c.push_back(point(random, k));
  return c;
}

double uniform(std::mt19937_64& r, double low, double high) {
  return std::uniform_real_distribution<double>(low, high)(r);
}

struct Layout {
  const char* name;
  Points points;
};

std::vector<Layout> layouts() {
  const int32_t n = 2000;
  return {
      {"uniform", make(n, [](auto& r, int32_t) { return PointCoord{uniform(r, 0, 1), uniform(r, 0, 1)}; })},
      {"equal", make(300, [](auto&, int32_t) { return PointCoord{3, -7}; })},
      {"one", {{1e300, -1e300}}},
      {"two", {{0, 0}, {1e-300, 0}}},
      // Point 2 and point 0 lie at the same exact distance from point 1, on
      // both sides of a split, where a gap rounded to double would exceed it.
      {"rounding", make(18, [](auto&, int32_t k) {
         const double x[] = {0x1.c7d7cf8d57bbdp+0, 0x1.1559f3911c90dp-42, -0x1.c7d7cf8d57312p+0};
         return PointCoord{k < 3 ? x[k] : (k % 2 ? 1000.0 : -1000.0) + k, 0.0};
       })},
      {"huge", make(500, [](auto& r, int32_t k) {  // distances overflow to inf, ties at inf
         const double far = k % 3 == 0 ? 8e307 : 1e154;
         return PointCoord{std::round(uniform(r, -2, 2)) * far, far * uniform(r, -1, 1)};
       })},
      {"tiny", make(500, [](auto& r, int32_t k) {  // squares that underflow
         const double scale = k % 2 ? 1e-160 : 1e-310;
         return PointCoord{std::floor(uniform(r, 0, 9)) * scale, std::floor(uniform(r, 0, 9)) * scale};
       })},
  };
}

bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

TEST(KdTree, ListsAreTheFirstEntriesOfTheExhaustiveOrder) {
  for (const Layout& layout : layouts()) {
    SCOPED_TRACE(layout.name);
    const Points& c = layout.points;
    const int32_t n = static_cast<int32_t>(c.size());
    const KdTree tree(c.data(), n);
    std::vector<int32_t> position(static_cast<size_t>(n), -1);
    for (int32_t k = 0; k < n; ++k) position[static_cast<size_t>(tree.order()[k])] = k;
    for (int32_t i = 0; i < n; ++i) ASSERT_NE(position[static_cast<size_t>(i)], -1);
    std::vector<NeighborEntry> list(static_cast<size_t>(n));
    for (int32_t i = 0; i < n; ++i) {
      // Whole lists for a few owners only, to keep the test short.
      const bool whole = i % (n / 4 + 1) == 0;
      const std::vector<NeighborEntry> expected = bruteForce(c, i, whole ? n : std::min(n, 101));
      for (int32_t count : {1, 2, 11, 101, n - 1, n}) {
        if (count < 1 || count > n || (count > 101 && !whole)) continue;
        tree.nearest(position[static_cast<size_t>(i)], count, list.data());
        for (int32_t k = 0; k < count; ++k) {
          const NeighborEntry& want = expected[static_cast<size_t>(k)];
          NeighborEntry got = list[static_cast<size_t>(k)];
          got.index = tree.order()[got.index];
          ASSERT_TRUE(got.index == want.index && sameBits(got.distance, want.distance))
              << "owner " << i << " count " << count << " entry " << k << ": got " << got.index
              << " at " << got.distance << ", want " << want.index << " at " << want.distance;
        }
      }
    }
  }
}

}  // namespace
