// The fast method against the reference method on many small random runs.
// The reference does every phase in its plain form (the exhaustive search,
// every candidate measured, full stable sorts, both screens of every point
// in every iteration, rounded sums), so every speed device of the fast
// method (the k-d tree, renumbering, the angle screen, the estimate cut,
// the partial sort, point skipping, exact sums, the within-the-screens
// shortcut, several workers) is checked against what it stands in for:
// the values must agree bit for bit.
// TESSEL_DIFFERENTIAL_ROUNDS sets the number of runs (160 by default) and
// TESSEL_DIFFERENTIAL_VALUES names a file that gets every run's values, so
// that two builds of the engine can be compared byte for byte
// (tests/platform/same_output.sh).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
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

// A uniform draw from [0, 1): the value std::uniform_real_distribution
// <double>(0, 1) draws with GCC's library, written out because that code
// forms its constants with the C library's long double functions, which a
// build for another long double (-mlong-double-64) cannot call.
double unitDraw(std::mt19937_64& random) {
  const double draw = static_cast<double>(random()) * 0x1p-64;
  return draw < 1.0 ? draw : std::nextafter(1.0, 0.0);
}

// Layouts that make the devices' hard cases common: ties of distance and
// of value (lattices, repeated points, few distinct rates), exact angles
// (lattices at thresholds near 90 and 135 degrees), points off a line by
// less than the exact angle's rounding, long runs of collinear points, and
// crowded clusters beside empty space.
Points makePoints(std::mt19937_64& random, int n) {
  const auto unit = unitDraw;
  const int layout = static_cast<int>(random() % 6);
  const int side = 1 + static_cast<int>(std::sqrt(n));
  // Integer weights let the fast method use exact sums and its shortcut
  // (few distinct ones make cumulative weights reach exactly half); tenths
  // round where integers would not; subnormal ones make halving round.
  const int weights = static_cast<int>(random() % 5);
  const double scales[] = {1.0, 1.0, 1.1, std::numeric_limits<double>::denorm_min()};
  Points p;
  for (int i = 0; i < n; ++i) {
    const double col = i % side, row = i / side, shake = 1e-9 * (random() % 3);
    const double town = 1000.0 * (random() % 5), lattice = double(random() % side);
    const std::pair<double, double> at[] = {
        {unit(random) * 100.0, unit(random) * 100.0},       // uniform
        {lattice, double(random() % side)},                 // a lattice, some points repeated
        {col, row},                                         // a whole lattice, row by row
        {col + shake, row + 1e-9 * (random() % 3)},         // shaken below the angles' rounding
        {double(i / 2), i % 2 == 0 ? 0.0 : double(i / 2)},  // two lines through each other
        {town + unit(random), 1000.0 * (random() % 3) + unit(random)}};  // towns: tight clusters
    p.x.push_back(at[layout].first);
    p.y.push_back(at[layout].second);
    p.rate.push_back(random() % 3 == 0 ? static_cast<double>(random() % 4) : unit(random) * 50.0);
    const double k = static_cast<double>(1 + random() % 3);
    p.weight.push_back(weights == 0   ? static_cast<double>(1 + random() % 20)
                       : weights == 4 ? 0.25 + unit(random) * 30.0
                                      : k * scales[weights]);
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

// The environment variable `name` as a count, or `otherwise` when unset.
int countFromEnvironment(const char* name, int otherwise) {
  const char* text = std::getenv(name);
  return text == nullptr ? otherwise : std::atoi(text);
}

TEST(Differential, FastMethodEqualsThePlainReference) {
  const int rounds = countFromEnvironment("TESSEL_DIFFERENTIAL_ROUNDS", 160);
  const char* valuesPath = std::getenv("TESSEL_DIFFERENTIAL_VALUES");
  std::FILE* values = valuesPath == nullptr ? nullptr : std::fopen(valuesPath, "w");
  ASSERT_TRUE(valuesPath == nullptr || values != nullptr) << "cannot create " << valuesPath;
  std::mt19937_64 random(20261207);
  // Thresholds just below angles a lattice makes exactly, the default, and
  // values where the angle screen turns off.
  const double thresholds[] = {134.99, 89.99, 135.0, 120.0, 179.5, 0.5, 153.43};
  for (int round = 0; round < rounds; ++round) {
    // Every 40th run has thousands of points: a deeper tree, many workers' chunks.
    const int n = 3 + static_cast<int>(random() % (round % 40 == 39 ? 4000 : 300));
    const Points p = makePoints(random, n);
    const int32_t nn = 1 + random() % 30, ntrip = 1 + random() % 20, niter = random() % 12;
    const double thetaStar = round % 2 == 0 ? thresholds[random() % 7]
                                            : 90.0 + static_cast<double>(random() % 9000) / 100.0;
    const SmoothingOptions o{nn, ntrip, niter, thetaStar};
    const int32_t workers = 1 + static_cast<int32_t>(random() % 3);
    const std::vector<double> want = run(p, o, Method::kReference, 1);
    const std::vector<double> got = run(p, o, Method::kFast, workers);
    int i = 0;
    while (i < n && std::memcmp(&want[i], &got[i], sizeof(double)) == 0) ++i;
    EXPECT_EQ(i, n) << "round " << round << ": n=" << n << " NN=" << nn << " NTRIP=" << ntrip
                    << " NITER=" << niter << " ThetaStar=" << thetaStar << " workers=" << workers
                    << ": point " << i << " is " << got[i] << ", the reference " << want[i];
    if (values != nullptr) {
      std::fprintf(values, "round %d\n", round);
      for (const double v : got) std::fprintf(values, "%a\n", v);
    }
  }
  if (values != nullptr) {
    EXPECT_FALSE(std::ferror(values)) << "cannot write " << valuesPath;
    EXPECT_EQ(std::fclose(values), 0) << "cannot write " << valuesPath;
  }
}

}  // namespace
