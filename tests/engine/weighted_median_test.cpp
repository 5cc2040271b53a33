// The weighted median of a screen list.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "engine/passes.h"

namespace {

const double kNan = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

double medianOf(const std::vector<ScreenEntry>& list) {
  double result = -12345.0;
  // Capacity above the count, as in a pass whose point has fewer triples.
  weightedMedian(list.data(), static_cast<int32_t>(list.size()) + 2,
                 static_cast<int32_t>(list.size()), &result);
  return result;
}

TEST(WeightedMedian, Table) {
  struct Case {
    const char* name;
    std::vector<ScreenEntry> list;
    double expected;
  };
  const Case cases[] = {
      {"single entry", {{5, 1}}, 5},
      {"two equal weights give the mean", {{2, 1}, {3, 1}}, 2.5},
      {"heavy last entry", {{1, 1}, {2, 1}, {9, 3}}, 9},
      {"first passes half", {{1, 3}, {2, 1}, {9, 1}}, 1},
      {"exact half in the middle", {{1, 1}, {4, 1}, {6, 2}}, 5},
      {"single zero weight: half on the last entry", {{5, 0}}, 5},
      {"all zero weights: exact half at the start", {{1, 0}, {2, 0}}, 1.5},
      {"negative total reaching half", {{1, -1}, {2, -1}}, 1.5},
      {"negative total never reaching half", {{1, -1}, {2, -1}, {3, 1}}, 3},
      {"total not a number", {{1, kNan}, {2, 1}}, 2},
      {"infinite total", {{1, 1}, {2, kInf}}, 2},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(medianOf(c.list), c.expected) << c.name;
  }
}

TEST(WeightedMedian, CapacityBoundsTheCount) {
  const std::vector<ScreenEntry> list = {{1, 1}, {2, 1}, {3, 5}};
  double result = 0;
  weightedMedian(list.data(), 2, 3, &result);  // only two entries fit
  EXPECT_EQ(result, 1.5);
  result = 7;
  weightedMedian(list.data(), 3, 0, &result);  // nothing to do
  EXPECT_EQ(result, 7);
}

}  // namespace
