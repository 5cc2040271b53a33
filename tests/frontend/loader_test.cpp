// Loading the work file: the lines the front end writes are parsed on every
// worker from a map of the file; any other line sends the whole file to the
// line-by-line reading, which gives the same values or the same report.
// (Large files on several workers are the whole-program differential's.)
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "engine/allocation.h"
#include "engine/workspace.h"
#include "frontend/smooth_rates.h"

namespace {

// Each text is loaded as the work file of n points: the values, or (ok
// false) the report, and nothing else on standard output.
TEST(Loading, LinesOfEveryKind) {
  const struct {
    const char* name;
    std::string text;
    int32_t n;
    bool ok;
    std::vector<double> values;  // x, y, rate, weight per point
  } cases[] = {
      {"plain", "1,2,3,4\n-5.5,.25,7.,0\n", 2, true, {1, 2, 3, 4, -5.5, 0.25, 7, 0}},
      {"last line without a line feed", "1,2,3,4\n5,6,7,8", 2, true, {1, 2, 3, 4, 5, 6, 7, 8}},
      {"lines beyond the points", "1,2,3,4\n5,6,7,8\nx\n", 1, true, {1, 2, 3, 4}},
      {"CR LF", "1,2,3,4\r\n5,6,7,8\r\n", 2, true, {1, 2, 3, 4, 5, 6, 7, 8}},
      {"blanks", "1, 2,3,4\n", 1, true, {1, 2, 3, 4}},
      {"a NUL ends the text", std::string("1,2,3,4\0junk\n5,6,7,8\n", 21), 2, true, {1, 2, 3, 4, 5, 6, 7, 8}},
      {"a line missing", "1,2,3,4\n", 2, false, {}},
      {"not a number", "1,2,3,4\n1,2,x,4\n", 2, false, {}},
      {"empty file", "", 1, false, {}},
  };
  for (const auto& c : cases) {
    char path[] = "/tmp/tessel_load_XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_EQ(write(fd, c.text.data(), c.text.size()), static_cast<ssize_t>(c.text.size()));
    close(fd);
    RaisingAllocation policy;
    Workspace ws(policy, 1);
    ws.allocateWorkArrays(c.n, 0, 1, NeighborSearch::kNearest);
    testing::internal::CaptureStdout();
    const bool ok = loadPoints(c.n, 1, 1, 1, path, ws);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), ok ? "" : "Error reading file " + std::string(path) + ".\n");
    unlink(path);
    EXPECT_EQ(ok, c.ok) << c.name;
    if (!ok) continue;
    std::vector<double> values;
    for (int32_t i = 0; i < c.n; ++i) {
      values.insert(values.end(), {ws.pointCoords[i].x, ws.pointCoords[i].y, ws.rates[i], ws.weights[i]});
      EXPECT_EQ(ws.currentValues[i], ws.rates[i]) << c.name;
      EXPECT_EQ(ws.nextValues[i], ws.rates[i]) << c.name;
    }
    EXPECT_EQ(values, c.values) << c.name;
  }
}

}  // namespace
