// The weighted median of a screen list.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "engine/passes.h"

using namespace tessel;

namespace {

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

}  // namespace
