// The whole program on larger point sets against a reference computed in
// the test with the exhaustive neighbour search on one worker: every output
// byte must match, whatever the nearest-neighbour search, the workers and
// the internal renumbering of the points do.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "e2e/run_binary.h"
#include "tessel/tessel.h"

using namespace tessel;

namespace {

struct Table {
  std::string text;
  std::vector<double> values[4];  // read from the text, as the program reads it
};

Table makeTable(const std::string& kind, int n) {
  Table t{pointTable(kind, n), {}};
  char* p = t.text.data();
  for (int k = 0; k < 4 * n; ++k) {
    t.values[k % 4].push_back(std::strtod(p, &p));
    ++p;  // the comma or the line feed
  }
  return t;
}

// The result table as "%lf" lines of the core's values for the table.
std::string coreOutput(const Table& t, SmoothingOptions options, Method method, int32_t workers) {
  options.method = method;
  RaisingAllocation policy;
  Workspace ws(policy, workers);
  const int32_t n = static_cast<int32_t>(t.values[0].size());
  EXPECT_EQ(ws.allocate(n, options), LimitCheck::kWithinLimits);
  for (int32_t i = 0; i < n; ++i) {
    ws.loadPoint(i, t.values[0][i], t.values[1][i], t.values[2][i], t.values[3][i]);
  }
  ws.run();
  std::string out;
  char line[400];
  for (int32_t i = 0; i < n; ++i) {
    out.append(line, std::snprintf(line, sizeof line, "%lf\n", ws.values()[i]));
  }
  return out;
}

// Options that differ from the defaults are given on the command line, so
// the program's defaults are checked too.
TEST(Scale, ProgramMatchesTheExhaustiveReference) {
  const struct {
    const char* kind;
    int n;
    SmoothingOptions options;
  } cases[] = {
      {"uniform", 2500, {}}, {"uniform", 1200, {30, 20, 4, 120.0}},
      {"lattice", 2500, {}}, {"towns", 2000, {6}},
      {"line", 1500, {}},    {"shared", 3000, {12, 7, 3}},
      {"uniform", 6, {20}},  {"outlier", 2000, {}},
      {"skewed", 3000, {}},  {"towns", 2500, {}},
  };
  const SmoothingOptions defaults;
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.kind << " n=" << c.n);
    const Table table = makeTable(c.kind, c.n);
    RunSetup setup = fileRun({"-f", "in.csv"}, table.text);
    const SmoothingOptions& o = c.options;
    if (o.NN != defaults.NN) setup.args.insert(setup.args.end(), {"-n", std::to_string(o.NN)});
    if (o.NTRIP != defaults.NTRIP)
      setup.args.insert(setup.args.end(), {"-t", std::to_string(o.NTRIP)});
    if (o.NITER != defaults.NITER)
      setup.args.insert(setup.args.end(), {"-i", std::to_string(o.NITER)});
    if (o.ThetaStar != defaults.ThetaStar)
      setup.args.insert(setup.args.end(), {"-a", std::to_string(o.ThetaStar)});
    const RunResult r = runTessel(setup);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.work, table.text);
    // The reference: the exhaustive search on one worker.
    const std::string want = coreOutput(table, o, Method::kReference, 1);
    EXPECT_TRUE(r.out == want) << "standard output differs";
    EXPECT_TRUE(r.log == want) << "log differs";
    EXPECT_TRUE(coreOutput(table, o, Method::kFast, 3) == want)
        << "the core on three workers differs";
  }
}

}  // namespace
