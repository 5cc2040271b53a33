// The shared formulas at the values where their rounding matters.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>

#include "engine/numerics.h"

namespace {

TEST(Numerics, AngleOfCosine) {
  struct Case {
    double cosine;
    double angle;
  };
  const Case cases[] = {
      {1.0, 0.0}, {1.5, 0.0}, {-1.0, PI}, {-2.0, PI}, {0.5, std::acos(0.5)},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(angleOfCosine(c.cosine), c.angle) << c.cosine;
  }
}

TEST(Numerics, DegreeValue) {
  EXPECT_EQ(degreeValue(PI), 180.0L);
  // PI is a little above pi, so a true 90 degrees reads slightly less.
  EXPECT_LT(degreeValue(M_PI / 2), 90.0L);
}

TEST(Numerics, DistanceIsSymmetricAndExactOnPythagoreanTriples) {
  struct Case {
    PointCoord p;
    PointCoord q;
    double distance;
  };
  const Case cases[] = {
      {{0, 0}, {3, 4}, 5.0},
      {{6, 8}, {0, 0}, 10.0},
      {{-1, -1}, {-1, -1}, 0.0},
      // The squared sum is rounded to double before the root, so it
      // overflows even though it fits in long double.
      {{1e200, 0}, {-1e200, 0}, HUGE_VAL},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(pointDistance(c.p, c.q), c.distance);
    EXPECT_EQ(pointDistance(c.q, c.p), c.distance);
  }
}

// Seen from the origin, (1,0) and (-1,1) make a true angle of 135 degrees,
// which reads just below 135 because PI exceeds pi.
TEST(Numerics, AngleOfTheDiagonalPairReadsBelow135) {
  const double cosine = cosineOfAngle(1.0, std::sqrt(2.0), std::sqrt(5.0));
  const long double degrees = degreeValue(angleOfCosine(cosine));
  EXPECT_LT(degrees, 135.0L);
  EXPECT_NEAR(static_cast<double>(degrees), 134.999998, 1e-6);
}

// The fast sum equals the long double sum rounded to double, including the
// sums whose rounding twice (to long double, then to double) differs from
// rounding once.
TEST(Numerics, SumRoundedToDoubleMatchesTheLongDoubleSum) {
  std::mt19937_64 random(11);
  std::uniform_real_distribution<double> mantissa(1.0, 2.0);
  std::uniform_int_distribution<int> exponent(-70, 70);
  std::vector<std::pair<double, double>> cases = {
      {1.0, std::ldexp(1.0, -53) + std::ldexp(1.0, -64)},  // rounded twice
      {1e308, 1e308}, {-0.0, 0.0}, {1.0, -1.0}, {0.1, 0.2}, {HUGE_VAL, -HUGE_VAL}};
  for (int k = 0; k < 20000; ++k) {
    cases.push_back({std::ldexp(mantissa(random), exponent(random)) * (k % 3 ? 1 : -1),
                     std::ldexp(mantissa(random), exponent(random))});
  }
  for (const auto& c : cases) {
    const double want = static_cast<double>(static_cast<long double>(c.first) + c.second);
    const double got = sumRoundedToDouble(c.first, c.second);
    EXPECT_TRUE(std::memcmp(&got, &want, sizeof got) == 0 || (std::isnan(got) && std::isnan(want)))
        << c.first << " + " << c.second;
  }
}

}  // namespace
