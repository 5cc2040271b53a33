// The fast method against the reference method on many small random runs.
// The reference does every phase in its plain form (the exhaustive search,
// every candidate measured, full stable sorts, both screens of every point
// in every iteration, rounded sums), so every speed device of the fast
// method (the k-d tree, renumbering, the angle screen, the estimate cut,
// the partial sort, point skipping, exact sums, the within-the-screens
// shortcut, several workers) is checked against what it stands in for:
// the values must agree bit for bit, and so must the diagnostics. Runs go
// through the column entry, on a table of rows (columns read with a
// stride) with some rows missing. The fast run's diagnostics must also be
// what the run did, checked against replays of its first k iterations for
// every k (the last change, the hold, the clamp between the screens) and
// the triple counts' bounds; and asking for them must change no value.
// TESSEL_DIFFERENTIAL_ROUNDS sets the number of runs (160 by default) and
// TESSEL_DIFFERENTIAL_VALUES names a file that gets every run's values and
// screens, so that two builds of the engine can be compared byte for byte
// (tests/platform/same_output.sh).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>
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

// The values of the rows, through the column entry on the points as one
// table of rows (x, y, rate, weight).
std::vector<double> run(const Points& p, OptionValues options, Method method, int32_t workers,
                        Diagnostics* diagnostics = nullptr) {
  options.method = method;
  const int64_t n = static_cast<int64_t>(p.x.size());
  std::vector<double> table;
  for (int64_t i = 0; i < n; ++i) {
    table.insert(table.end(), {p.x[i], p.y[i], p.rate[i], p.weight[i]});
  }
  std::vector<double> values(p.x.size());
  const auto column = [&](int c) { return ColumnView{table.data() + c, n, 4}; };
  smooth(column(0), column(1), column(2), column(3), options, values.data(), nullptr, workers,
         diagnostics);
  return values;
}

bool same(double a, double b) { return std::memcmp(&a, &b, sizeof(double)) == 0; }

// Where two runs' diagnostics first differ (row, field), or "" when they
// are alike, bit for bit.
std::string firstDifference(const Diagnostics& a, const Diagnostics& b) {
  const size_t n = a.neighbors.size();
  for (size_t i = 0; i < n; ++i) {
    const char* field = a.neighbors[i] != b.neighbors[i]                 ? "neighbors"
                        : !same(a.radius[i], b.radius[i])                ? "radius"
                        : a.interior_triples[i] != b.interior_triples[i] ? "interior_triples"
                        : a.end_triples[i] != b.end_triples[i]           ? "end_triples"
                        : !same(a.low_screen[i], b.low_screen[i])        ? "low_screen"
                        : !same(a.high_screen[i], b.high_screen[i])      ? "high_screen"
                        : a.held[i] != b.held[i]                         ? "held"
                        : a.last_change[i] != b.last_change[i]           ? "last_change"
                                                                         : nullptr;
    if (field != nullptr) return "row " + std::to_string(i) + " " + field;
  }
  return b.neighbors.size() == n ? "" : "lengths";
}

// What the run's diagnostics d must say of points p smoothed with options o
// in the fast method: the first difference from what replays of the run
// show, or "". A replay of k iterations gives the values after the k-th.
// (The neighbour counts and radii are the reference method's, compared
// above, and the bundled example's stored table's.)
std::string checkAgainstReplays(const Points& p, const OptionValues& o, const Diagnostics& d) {
  std::vector<std::vector<double>> after;  // after[k]: the values after k iterations
  for (int64_t k = 0; k <= o.iterations; ++k) {
    OptionValues replay = o;
    replay.iterations = k;
    after.push_back(run(p, replay, Method::kFast, 1));
  }
  const int64_t last = o.iterations;
  for (size_t i = 0; i < p.x.size(); ++i) {
    const bool missing = std::isnan(p.x[i] + p.y[i] + p.rate[i] + p.weight[i]);
    const int32_t triples = d.interior_triples[i] + d.end_triples[i];
    int32_t lastChange = 0;
    for (int32_t j = 1; j <= last; ++j)
      lastChange = same(after[j][i], after[j - 1][i]) ? lastChange : j;
    const double v = last > 0 ? after[last - 1][i] : 0.0;
    const double clamped = v < d.low_screen[i]    ? d.low_screen[i]
                           : v > d.high_screen[i] ? d.high_screen[i]
                                                  : v;
    const bool screened = last > 0 && triples > 0;
    const char* fault =
        triples > o.triples || (d.interior_triples[i] > 0 && d.end_triples[i] > 0) ||
                (missing && (triples > 0 || d.neighbors[i] > 0))
            ? "triple or neighbour counts"
        : d.last_change[i] != lastChange ? "last_change"
        : screened != !std::isnan(d.low_screen[i]) || screened != !std::isnan(d.high_screen[i])
            ? "screens present"
        : d.held[i] > (screened ? 1 : 0)             ? "held without screens"
        : d.held[i] == 1 && !same(after[last][i], v) ? "held, yet the value moved"
        : screened && d.held[i] == 0 && !same(after[last][i], clamped)
            ? "not the value between the screens"
            : nullptr;
    if (fault != nullptr) return "row " + std::to_string(i) + ": " + fault;
  }
  return "";
}

TEST(Differential, FastMethodEqualsThePlainReference) {
  const char* roundsText = std::getenv("TESSEL_DIFFERENTIAL_ROUNDS");
  const int rounds = roundsText == nullptr ? 160 : std::atoi(roundsText);
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
    Points p = makePoints(random, n);
    // Every third run has missing rows: a NaN in one column.
    for (int k = round % 3 == 0 ? 1 + n / 10 : 0; k > 0; --k) {
      std::vector<double>* columns[] = {&p.x, &p.y, &p.rate, &p.weight};
      (*columns[random() % 4])[random() % n] = NAN;
    }
    const int32_t nn = 1 + random() % 30, ntrip = 1 + random() % (round % 5 == 4 ? 80 : 20);
    const int32_t niter = random() % 12;
    const double thetaStar = round % 2 == 0 ? thresholds[random() % 7]
                                            : 90.0 + static_cast<double>(random() % 9000) / 100.0;
    const OptionValues o{nn, ntrip, niter, thetaStar};
    const int32_t workers = 1 + static_cast<int32_t>(random() % 3);
    Diagnostics reference, fast;
    const std::vector<double> want = run(p, o, Method::kReference, 1, &reference);
    const std::vector<double> got = run(p, o, Method::kFast, workers);
    const std::vector<double> diagnosed = run(p, o, Method::kFast, workers, &fast);
    char setting[160];
    std::snprintf(setting, sizeof setting,
                  "round %d: n=%d NN=%d NTRIP=%d NITER=%d ThetaStar=%f workers=%d", round, n, nn,
                  ntrip, niter, thetaStar, workers);
    int i = 0;
    while (i < n && same(want[i], got[i]) && same(got[i], diagnosed[i])) ++i;
    EXPECT_EQ(i, n) << setting << ": point " << i << " is " << got[i] << ", the reference "
                    << want[i] << ", with diagnostics " << diagnosed[i];
    EXPECT_EQ(firstDifference(reference, fast), "") << setting;
    // Replays of every run but the large ones.
    if (n <= 303) {
      EXPECT_EQ(checkAgainstReplays(p, o, fast), "") << setting;
    }
    if (values != nullptr) {
      std::fprintf(values, "round %d\n", round);
      for (int k = 0; k < n; ++k)
        std::fprintf(values, "%a %a %a\n", got[k], fast.low_screen[k], fast.high_screen[k]);
    }
  }
  if (values != nullptr) {
    EXPECT_FALSE(std::ferror(values)) << "cannot write " << valuesPath;
    EXPECT_EQ(std::fclose(values), 0) << "cannot write " << valuesPath;
  }
}

}  // namespace
