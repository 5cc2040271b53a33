// The engine's building blocks where a fault would pass every whole-run
// test unseen: an exception thrown on a worker, the size check of a work
// block, the shared formulas at the values where their rounding matters,
// and the weighted median on the totals that runs of positive weights never
// make; the workers' scratch slices; and the triple selection at the
// thresholds and ties, whose exact tests both methods share. (The merge
// sort's stability and the passes are the differential test's, the k-d
// tree and its median selection point_index_test.cpp's and the
// differential test's.)
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <stdexcept>
#include <thread>
#include <utility>
#include <vector>

#include "engine/allocation.h"
#include "engine/numerics.h"
#include "engine/parallel.h"
#include "engine/passes.h"
#include "engine/phases.h"
#include "engine/smoothing.h"
#include "engine/work_arrays.h"

using namespace tessel;

namespace {

// With several workers the exception comes from worker 1, not the calling
// thread's worker 0, and the others wait for it (a minute at most: only a
// hang bound).
TEST(ForEachChunk, AWorkersExceptionReachesTheCallerAfterAllStop) {
  for (int32_t workers : {1, 2, 4}) {
    std::atomic<int32_t> running{0};
    std::atomic<bool> thrown{false};
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    try {
      forEachChunk(1000, 10, workers, [&](int32_t begin, int32_t, int32_t worker) {
        ++running;
        const bool fails = workers == 1 ? begin == 500 : worker == 1 && !thrown.exchange(true);
        while (workers > 1 && worker != 1 && !thrown && std::chrono::steady_clock::now() < giveUp)
          std::this_thread::yield();
        --running;
        if (fails) throw std::runtime_error("failed");
      });
      ADD_FAILURE() << "nothing thrown";
    } catch (const std::runtime_error& e) {
      EXPECT_STREQ(e.what(), "failed");
    }
    EXPECT_EQ(running.load(), 0) << workers;  // no worker still inside a chunk
  }
}

TEST(WorkBlockSize, RefusesNegativeAndOverflowingCounts) {
  const int64_t kMost = std::numeric_limits<int64_t>::max(), k61 = int64_t{1} << 61;
  // 2^61 elements of 8 bytes are 2^64 bytes: one past the largest size.
  const struct {
    int64_t count;
    size_t elementSize, want;
  } cases[] = {{0, 8, 0},
               {3, 8, 24},
               {-1, 8, SIZE_MAX},
               {k61, 8, SIZE_MAX},
               {k61 - 1, 8, (size_t{1} << 63) * 2 - 8},
               {kMost, 2, SIZE_MAX - 1}};
  for (const auto& c : cases) {
    EXPECT_EQ(workBlockSize(c.count, c.elementSize), c.want) << c.count << " x " << c.elementSize;
  }
}

TEST(Numerics, Distance) {
  // The squares summed in extended precision (in double the sum rounds up).
  EXPECT_EQ(pointDistance({0, 0}, {0x1.dc02a09dd4a7bp+2, 0x1.d97566f9bd25p-1}),
            0x1.dfacdb5600d86p+2);
  // The sum is rounded to double before the root, so it overflows.
  EXPECT_EQ(pointDistance({1e200, 0}, {-1e200, 0}), HUGE_VAL);
}

// The measure is the same from either end, bit for bit, the rounded
// differences included: the neighbour searches measure a pair from
// whichever point they hold.
TEST(Numerics, DistanceIsTheSameEitherWay) {
  std::mt19937_64 random(5);
  const auto draw = [&random]() {
    const double mantissa = 1.0 + static_cast<double>(random() >> 11) * 0x1p-53;
    const double value = std::ldexp(mantissa, static_cast<int>(random() % 161) - 80);
    return random() % 2 == 0 ? -value : value;
  };
  for (int k = 0; k < 20000; ++k) {
    const PointCoord p = {draw(), draw()};
    // Far, near and tied differences: exponents 0 to 160 apart, and
    // differences of one unit in the last place.
    const PointCoord q = k % 3 == 0   ? PointCoord{draw(), draw()}
                         : k % 3 == 1 ? PointCoord{std::nextafter(p.x, 0.0), p.y + draw()}
                                      : PointCoord{p.x + draw() * 0x1p-60, p.y};
    ASSERT_EQ(pointDistance(p, q), pointDistance(q, p)) << p.x << " " << p.y << " " << q.x;
  }
}

// The fast sum equals the extended sum rounded to double, including the
// sums whose rounding twice (to extended, then to double) differs from
// rounding once.
TEST(Numerics, SumRoundedToDoubleMatchesTheExtendedSum) {
  std::mt19937_64 random(11);
  // ±[1, 2) × 2^(-70..70), drawn without std::uniform_real_distribution,
  // whose code calls long double functions that -mlong-double-64 cannot.
  const auto draw = [&random](bool negative) {
    const double mantissa = 1.0 + static_cast<double>(random() >> 11) * 0x1p-53;
    return std::ldexp(negative ? -mantissa : mantissa, static_cast<int>(random() % 141) - 70);
  };
  // The first sum rounds twice.
  std::vector<std::pair<double, double>> cases = {
      {1.0, 0x1p-53 + 0x1p-64}, {1e308, 1e308}, {-0.0, 0.0}, {1.0, -1.0}, {0.1, 0.2},
      {HUGE_VAL, -HUGE_VAL}};
  for (int k = 0; k < 20000; ++k) cases.push_back({draw(k % 3 == 0), draw(false)});
  for (const auto& c : cases) {
    const double want = static_cast<double>(Extended(c.first) + c.second);
    const double got = sumRoundedToDouble(c.first, c.second);
    EXPECT_TRUE(std::memcmp(&got, &want, sizeof got) == 0 || (std::isnan(got) && std::isnan(want)))
        << c.first << " + " << c.second;
  }
}

// Per-worker slices of a shared scratch block: wherever a block from malloc
// starts (16-byte aligned), the lines worker w writes and those worker w + 1
// writes are apart, for entries of every size the phases use.
template <class T>
void expectSlicesApart() {
  for (int64_t count = 0; count < 70; ++count) {
    const int64_t stride = workerStride<T>(count);
    EXPECT_EQ(stride == 0, count == 0) << sizeof(T) << " " << count;
    if (count == 0) continue;
    for (int64_t base = 0; base < 64; base += 16) {
      const int64_t lastLineOfFirst = (base + count * int64_t(sizeof(T)) - 1) / 64;
      const int64_t firstLineOfSecond = (base + stride * int64_t(sizeof(T))) / 64;
      EXPECT_LT(lastLineOfFirst, firstLineOfSecond) << sizeof(T) << " " << count << " " << base;
    }
  }
}

TEST(WorkerStride, SlicesNeverShareACacheLine) {
  struct ThirtyTwo {
    double a[4];
  };
  expectSlicesApart<NeighborEntry>();
  expectSlicesApart<ScreenEntry>();
  expectSlicesApart<ThirtyTwo>();
  expectSlicesApart<double>();
}

// The weighted median of a screen list, where the two methods share it:
// weights of any sign, totals that are not numbers, infinite or subnormal.
TEST(WeightedMedian, Table) {
  struct Case {
    const char* name;
    std::vector<ScreenEntry> list;
    double expected;
    int32_t capacity = 0;  // 0: two more than the entries, as for a point with few triples
  };
  const double kNan = std::nan(""), kMin = std::numeric_limits<double>::denorm_min();
  const Case cases[] = {
      {"single entry", {{5, 1}}, 5},
      {"exact half: the mean of it and the next", {{1, 1}, {4, 1}, {6, 2}}, 5},
      {"past half at the first", {{1, 3}, {2, 1}, {9, 1}}, 1},
      {"zero total: exact half on the only entry", {{5, 0}}, 5},
      {"zero total: exact half at the start", {{1, 0}, {2, 0}}, 1.5},
      {"negative total reaching half", {{1, -1}, {2, -1}}, 1.5},
      {"negative total never reaching half", {{1, -1}, {2, -1}, {3, 1}}, 3},
      {"total not a number", {{1, kNan}, {2, 1}}, 2},
      {"infinite total", {{1, 1}, {2, HUGE_VAL}}, 2},
      // 3 x the smallest subnormal: its half in double would round up to
      // 2 x, an exact half at the second entry.
      {"subnormal total", {{1, kMin}, {2, kMin}, {3, kMin}}, 2},
      {"only the entries that fit count", {{1, 1}, {2, 1}, {3, 5}}, 1.5, 2},
      {"no entries: result untouched", {}, -7},
  };
  for (const Case& c : cases) {
    double result = -7;
    const int32_t count = static_cast<int32_t>(c.list.size());
    weightedMedian(c.list.data(), c.capacity ? c.capacity : count + 2, count, &result);
    EXPECT_EQ(result, c.expected) << c.name;
  }
}

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
      {"straight end rejected at 180", line(5, 0), 2, 0, 0, 0, 180, {}, 0, 7},
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
