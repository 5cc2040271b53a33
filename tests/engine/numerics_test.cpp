// The shared formulas at the values where their rounding matters.
#include <gtest/gtest.h>

#include <cmath>

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

}  // namespace
