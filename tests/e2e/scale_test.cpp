// The whole program on larger point sets against a reference computed in
// the test with the exhaustive neighbour search on one worker: every output
// byte must match, whatever the nearest-neighbour search, the workers and the internal
// renumbering of the points do.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "e2e/run_binary.h"
#include "engine/smoothing.h"

namespace {

struct Table {
  std::string text;  // x,y,rate,weight lines as plain decimals
  std::vector<double> values[4];
};

void addRow(Table& t, double x, double y, double rate, double weight) {
  char line[160];
  std::snprintf(line, sizeof line, "%.6f,%.6f,%.3f,%.0f\n", x, y, rate, weight);
  t.text += line;
  // The program reads the text, so the reference does too.
  char* p = line;
  for (std::vector<double>& column : t.values) {
    column.push_back(std::strtod(p, &p));
    ++p;
  }
}

Table makeTable(const std::string& kind, int n) {
  std::mt19937_64 random(static_cast<uint64_t>(n) + kind.size());
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  Table t;
  for (int k = 0; k < n; ++k) {
    const double rate = unit(random) * 100.0;
    const double weight = 1 + k % 50;
    const double a = unit(random);
    const double b = unit(random);
    if (kind == "uniform") addRow(t, a * 1000.0, b * 1000.0, rate, weight);
    if (kind == "grid") addRow(t, k % 50, k / 50, rate, weight);
    if (kind == "clustered") addRow(t, (k % 4) * 100 + a * 0.01, (k % 3) * 100 + b * 0.01, rate, weight);
    if (kind == "line") addRow(t, k * 0.5, k * 0.25, rate, weight);
    if (kind == "coincident") addRow(t, k % 9, k % 4, rate, weight);
  }
  return t;
}

// The result table as "%lf" lines of the core's values for the table.
std::string coreOutput(const Table& t, int32_t nn, int32_t ntrip, int32_t niter,
                       double thetaStar, NeighborSearch search, int32_t workers) {
  SmoothingOptions options;
  options.NN = nn;
  options.NTRIP = ntrip;
  options.NITER = niter;
  options.ThetaStar = thetaStar;
  options.search = search;
  const int32_t n = static_cast<int32_t>(t.values[0].size());
  RaisingAllocation policy;
  Workspace ws(policy, workers);
  std::vector<double> values(t.values[0].size());
  smooth(options, {t.values[0].data(), t.values[1].data(), t.values[2].data(),
                   t.values[3].data(), n}, ws, values.data());
  std::string out;
  char line[400];
  for (double v : values) {
    std::snprintf(line, sizeof line, "%lf\n", v);
    out += line;
  }
  return out;
}

TEST(Scale, ProgramMatchesTheExhaustiveReference) {
  struct Case {
    const char* kind;
    int n;
    std::vector<std::string> args;
    int32_t nn, ntrip, niter;
    double thetaStar;
  };
  const Case cases[] = {
      {"uniform", 2500, {}, 10, 7, 10, 135.0},
      {"uniform", 1200, {"-n", "30", "-t", "20", "-a", "120", "-i", "4"}, 30, 20, 4, 120.0},
      {"grid", 2500, {}, 10, 7, 10, 135.0},
      {"clustered", 2000, {"-n", "6"}, 6, 7, 10, 135.0},
      {"line", 1500, {}, 10, 7, 10, 135.0},
      {"coincident", 700, {"-n", "12", "-i", "3"}, 12, 7, 3, 135.0},
      {"uniform", 6, {"-n", "20"}, 20, 7, 10, 135.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.kind << " n=" << c.n);
    const Table table = makeTable(c.kind, c.n);
    RunSetup setup;
    setup.args = c.args;
    setup.args.insert(setup.args.end(), {"-f", "in.csv"});
    setup.files["in.csv"] = table.text;
    const RunResult r = runTessel(setup);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.work, table.text);
    // The reference: the exhaustive search on one worker.
    const std::string want =
        coreOutput(table, c.nn, c.ntrip, c.niter, c.thetaStar, NeighborSearch::kExhaustive, 1);
    EXPECT_TRUE(r.out == want) << "standard output differs";
    EXPECT_TRUE(coreOutput(table, c.nn, c.ntrip, c.niter, c.thetaStar,
                           NeighborSearch::kNearest, 3) == want)
        << "the core on three workers differs";
    EXPECT_TRUE(r.log == want) << "log differs";
  }
}

}  // namespace
