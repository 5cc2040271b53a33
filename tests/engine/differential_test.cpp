// The fast method against the reference method on many small random runs.
// The reference does every phase in its plain form (the exhaustive search,
// every candidate measured, full stable sorts, both screens of every point
// in every iteration, rounded sums), so every speed device of the fast
// method (the k-d tree, renumbering, the angle screen, the estimate cut,
// the partial sort, point skipping, exact sums, the within-the-screens
// shortcut, several workers) is checked against what it stands in for:
// the values must agree bit for bit.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "tessel/tessel.h"

using namespace tessel;

namespace {

struct Points {
  std::vector<double> x, y, rate, weight;
};

// Layouts that make the devices' hard cases common: ties of distance and
// of value (lattices, repeated points, few distinct rates), exact angles
// (lattices at thresholds near 90 and 135 degrees), points off a line by
// less than the exact angle's rounding, long runs of collinear points, and
// crowded clusters beside empty space.
Points makePoints(std::mt19937_64& random, int n) {
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  const int layout = static_cast<int>(random() % 6);
  const int side = 1 + static_cast<int>(std::sqrt(n));
  Points p;
  for (int i = 0; i < n; ++i) {
    double x, y;
    switch (layout) {
      case 0:  // uniform
        x = unit(random) * 100.0;
        y = unit(random) * 100.0;
        break;
      case 1:  // a lattice, some points repeated
        x = static_cast<double>(random() % side);
        y = static_cast<double>(random() % side);
        break;
      case 2:  // a whole lattice, row by row
        x = static_cast<double>(i % side);
        y = static_cast<double>(i / side);
        break;
      case 3:  // a lattice shaken by far less than the angle tests resolve
        x = static_cast<double>(i % side) + static_cast<double>(random() % 3) * 1e-9;
        y = static_cast<double>(i / side) + static_cast<double>(random() % 3) * 1e-9;
        break;
      case 4:  // two lines through each other
        x = static_cast<double>(i / 2);
        y = i % 2 == 0 ? 0.0 : static_cast<double>(i / 2);
        break;
      default:  // towns: tight clusters far apart
        x = static_cast<double>(random() % 5) * 1000.0 + unit(random);
        y = static_cast<double>(random() % 3) * 1000.0 + unit(random);
    }
    p.x.push_back(x);
    p.y.push_back(y);
    p.rate.push_back(random() % 3 == 0 ? static_cast<double>(random() % 4) : unit(random) * 50.0);
  }
  // Integer weights let the fast method use exact sums and its shortcut
  // (few distinct ones make cumulative weights reach exactly half); tenths
  // round where integers would not; subnormal ones make halving round.
  const int weights = static_cast<int>(random() % 5);
  for (int i = 0; i < n; ++i) {
    const double k = static_cast<double>(1 + random() % 3);
    switch (weights) {
      case 0:
        p.weight.push_back(static_cast<double>(1 + random() % 20));
        break;
      case 1:
        p.weight.push_back(k);
        break;
      case 2:
        p.weight.push_back(k * 1.1);
        break;
      case 3:
        p.weight.push_back(k * std::numeric_limits<double>::denorm_min());
        break;
      default:
        p.weight.push_back(0.25 + unit(random) * 30.0);
    }
  }
  return p;
}

std::vector<double> run(const Points& p, SmoothingOptions options, Method method, int32_t workers) {
  options.method = method;
  RaisingAllocation policy;
  Workspace ws(policy, workers);
  const int32_t n = static_cast<int32_t>(p.x.size());
  EXPECT_EQ(ws.allocate(n, options), LimitCheck::kWithinLimits);
  for (int32_t i = 0; i < n; ++i) ws.loadPoint(i, p.x[i], p.y[i], p.rate[i], p.weight[i]);
  ws.run();
  return std::vector<double>(ws.values(), ws.values() + n);
}

TEST(Differential, FastMethodEqualsThePlainReference) {
  std::mt19937_64 random(20261207);
  // Thresholds just below angles a lattice makes exactly, the default, and
  // values where the angle screen turns off.
  const double thresholds[] = {134.99, 89.99, 135.0, 120.0, 179.5, 0.5, 153.43};
  int differing = 0;
  for (int round = 0; round < 160; ++round) {
    const int n = 3 + static_cast<int>(random() % 300);
    const Points p = makePoints(random, n);
    SmoothingOptions o;
    o.NN = 1 + static_cast<int32_t>(random() % 30);
    o.NTRIP = 1 + static_cast<int32_t>(random() % 20);
    o.NITER = static_cast<int32_t>(random() % 12);
    o.ThetaStar = round % 2 == 0 ? thresholds[random() % 7]
                                 : 90.0 + static_cast<double>(random() % 9000) / 100.0;
    const int32_t workers = 1 + static_cast<int32_t>(random() % 3);
    const std::vector<double> want = run(p, o, Method::kReference, 1);
    const std::vector<double> got = run(p, o, Method::kFast, workers);
    int first = -1;
    for (int i = 0; i < n && first < 0; ++i) {
      if (std::memcmp(&want[i], &got[i], sizeof(double)) != 0) first = i;
    }
    if (first >= 0) {
      ++differing;
      ADD_FAILURE() << "round " << round << ": n=" << n << " NN=" << o.NN << " NTRIP=" << o.NTRIP
                    << " NITER=" << o.NITER << " ThetaStar=" << o.ThetaStar
                    << " workers=" << workers << ": point " << first << " is " << got[first]
                    << ", the reference " << want[first];
    }
  }
  EXPECT_EQ(differing, 0);
}

}  // namespace
