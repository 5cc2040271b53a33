// Shared formulas of the smoothing phases.
#include "engine/numerics.h"

#include <cmath>

#include "tessel/tessel.h"

namespace tessel {

double distance(double x1, double y1, double x2, double y2) {
  return pointDistance({x1, y1}, {x2, y2});
}

double cosineOfAngle(double near1, double near2, double opposite) {
  const long double a = near1;
  const long double b = near2;
  const long double o = opposite;
  const long double numerator = a * a + b * b - o * o;
  const long double denominator = 2.0L * a * b;
  return static_cast<double>(numerator / denominator);
}

double angleOfCosine(double c) {
  if (c >= 1.0) return 0.0;
  if (c <= -1.0) return PI;
  return std::acos(c);
}

long double degreeValue(double theta) {
  const long double reciprocal = 1.0L / static_cast<long double>(PI);
  return static_cast<long double>(theta) * 180.0L * reciprocal;
}

}  // namespace tessel
