// The few formulas the smoothing phases share, written once so that every
// phase rounds the same way: intermediate results of one formula are held in
// Extended (extended.h) and rounded to double where a value is stored or
// handed to a library function. Owned by the smoothing phases (neighbours,
// triples).
#ifndef TESSEL_ENGINE_NUMERICS_H_
#define TESSEL_ENGINE_NUMERICS_H_

#include <cmath>

#include "engine/extended.h"
#include "engine/records.h"

namespace tessel {

// The angle tests use this value for pi: the double nearest 3.1415927.
constexpr double PI = 3.1415927;

// Euclidean distance of two points: the squared x and y differences summed
// in extended precision, the sum rounded to double, then its square root.
// It is the same measured from either point, bit for bit: each difference
// is rounded to nearest, which rounds q - p to the negation of p - q (in
// hardware and in SoftExtended alike), and only its square is used; so the
// searches measure a pair from whichever point they hold.
// Inline: the search and the selection measure tens of pairs per point.
inline double pointDistance(const PointCoord& p, const PointCoord& q) {
  const Extended dx = Extended(p.x) - q.x;
  const Extended dy = Extended(p.y) - q.y;
  const double squared = static_cast<double>(dx * dx + dy * dy);
  return std::sqrt(squared);
}

// Cosine of the angle between the sides of lengths near1 and near2 of a
// triangle whose third side is opposite (law of cosines):
// (near1² + near2² − opposite²) / (2·near1·near2), rounded to double.
double cosineOfAngle(double near1, double near2, double opposite);

// The angle, in radians, whose cosine is c: 0 when c >= 1, PI when c <= -1,
// otherwise acos(c).
double angleOfCosine(double c);

// The angle theta in degrees, theta × 180 × (1/PI), kept in extended
// precision so that the threshold tests compare it without rounding. PI
// gives exactly 180.
Extended degreeValue(double theta);

// a + b summed in extended precision and rounded to double. When the plain
// double sum is exact (its rounding error, found by the two-sum steps, is
// zero) both give that same value, and the extended sum is skipped.
inline double sumRoundedToDouble(double a, double b) {
  const double sum = a + b;
  const double bPart = sum - a;
  const double error = (a - (sum - bPart)) + (b - bPart);
  if (error == 0.0 && std::isfinite(sum)) return sum;
  return static_cast<double>(Extended(a) + b);
}

}  // namespace tessel

#endif  // TESSEL_ENGINE_NUMERICS_H_
