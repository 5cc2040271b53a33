// The shared formulas at the values where their rounding matters. (The
// angle and degree values at a threshold are pinned by the triple
// selection's table.)
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <utility>
#include <vector>

#include "engine/numerics.h"

using namespace tessel;

namespace {

TEST(Numerics, Distance) {
  // The squares summed in extended precision (in double the sum rounds up).
  EXPECT_EQ(pointDistance({0, 0}, {0x1.dc02a09dd4a7bp+2, 0x1.d97566f9bd25p-1}),
            0x1.dfacdb5600d86p+2);
  // The sum is rounded to double before the root, so it overflows.
  EXPECT_EQ(pointDistance({1e200, 0}, {-1e200, 0}), HUGE_VAL);
}

// The fast sum equals the extended sum rounded to double, including the
// sums whose rounding twice (to extended, then to double) differs from
// rounding once.
TEST(Numerics, SumRoundedToDoubleMatchesTheExtendedSum) {
  std::mt19937_64 random(11);
  // In [1, 2) (not by std::uniform_real_distribution, whose code calls long
  // double functions that a -mlong-double-64 build cannot).
  const auto mantissa = [](std::mt19937_64& r) {
    return 1.0 + static_cast<double>(r() >> 11) * 0x1p-53;
  };
  std::uniform_int_distribution<int> exponent(-70, 70);
  std::vector<std::pair<double, double>> cases = {
      {1.0, std::ldexp(1.0, -53) + std::ldexp(1.0, -64)},  // rounded twice
      {1e308, 1e308},
      {-0.0, 0.0},
      {1.0, -1.0},
      {0.1, 0.2},
      {HUGE_VAL, -HUGE_VAL}};
  for (int k = 0; k < 20000; ++k) {
    cases.push_back({std::ldexp(mantissa(random), exponent(random)) * (k % 3 ? 1 : -1),
                     std::ldexp(mantissa(random), exponent(random))});
  }
  for (const auto& c : cases) {
    const double want = static_cast<double>(Extended(c.first) + c.second);
    const double got = sumRoundedToDouble(c.first, c.second);
    EXPECT_TRUE(std::memcmp(&got, &want, sizeof got) == 0 || (std::isnan(got) && std::isnan(want)))
        << c.first << " + " << c.second;
  }
}

}  // namespace
