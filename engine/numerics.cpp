// Shared formulas of the smoothing phases.
#include "engine/numerics.h"

#include <cmath>

#include "tessel/tessel.h"

namespace tessel {

double distance(double x1, double y1, double x2, double y2) {
  return pointDistance({x1, y1}, {x2, y2});
}

double cosineOfAngle(double near1, double near2, double opposite) {
  const Extended a = near1;
  const Extended b = near2;
  const Extended o = opposite;
  const Extended numerator = a * a + b * b - o * o;
  const Extended denominator = Extended(2.0) * a * b;
  return static_cast<double>(numerator / denominator);
}

double angleOfCosine(double c) {
  if (c >= 1.0) return 0.0;
  if (c <= -1.0) return PI;
  return std::acos(c);
}

Extended degreeValue(double theta) {
  const Extended reciprocal = Extended(1.0) / Extended(PI);
  return Extended(theta) * Extended(180.0) * reciprocal;
}

}  // namespace tessel
