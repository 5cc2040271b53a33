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

struct Loaded {
  bool ok;
  std::vector<double> values;  // x, y, rate, weight per point
};

// Loads n points from a file holding text; a failure must be reported.
Loaded load(const std::string& text, int32_t n) {
  char path[] = "/tmp/tessel_load_XXXXXX";
  const int fd = mkstemp(path);
  EXPECT_EQ(write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
  close(fd);
  RaisingAllocation policy;
  Workspace ws(policy, 1);
  ws.allocateWorkArrays(n, 0, 1, NeighborSearch::kNearest);
  for (int32_t i = 0; i < n; ++i) {
    ws.pointCoords[i] = {0, 0};
    ws.rates[i] = ws.weights[i] = 0;
  }
  testing::internal::CaptureStdout();
  Loaded result{loadPoints(n, 1, 1, 1, path, ws), {}};
  const std::string out = testing::internal::GetCapturedStdout();
  unlink(path);
  EXPECT_EQ(out, result.ok ? "" : "Error reading file " + std::string(path) + ".\n");
  for (int32_t i = 0; i < n; ++i) {
    if (result.ok) {
      EXPECT_EQ(ws.currentValues[i], ws.rates[i]);
      EXPECT_EQ(ws.nextValues[i], ws.rates[i]);
    }
    result.values.insert(result.values.end(),
                         {ws.pointCoords[i].x, ws.pointCoords[i].y, ws.rates[i], ws.weights[i]});
  }
  return result;
}

TEST(Loading, LinesOfEveryKind) {
  struct Case {
    const char* name;
    std::string text;
    int32_t n;
    bool ok;
    std::vector<double> values;
  };
  const Case cases[] = {
      {"plain", "1,2,3,4\n-5.5,.25,7.,0\n", 2, true, {1, 2, 3, 4, -5.5, 0.25, 7, 0}},
      {"last line without a line feed", "1,2,3,4\n5,6,7,8", 2, true, {1, 2, 3, 4, 5, 6, 7, 8}},
      {"lines beyond the points", "1,2,3,4\n5,6,7,8\nx\n", 1, true, {1, 2, 3, 4}},
      {"CR LF", "1,2,3,4\r\n5,6,7,8\r\n", 2, true, {1, 2, 3, 4, 5, 6, 7, 8}},
      {"blanks", "1, 2,3,4\n", 1, true, {1, 2, 3, 4}},
      {"a NUL ends the text", std::string("1,2,3,4\0junk\n5,6,7,8\n", 21), 2, true,
       {1, 2, 3, 4, 5, 6, 7, 8}},
      {"a line missing", "1,2,3,4\n", 2, false, {1, 2, 3, 4, 0, 0, 0, 0}},
      {"not a number", "1,2,3,4\n1,2,x,4\n", 2, false, {1, 2, 3, 4, 0, 0, 0, 0}},
      {"empty file", "", 1, false, {0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    const Loaded got = load(c.text, c.n);
    EXPECT_EQ(got.ok, c.ok) << c.name;
    EXPECT_EQ(got.values, c.values) << c.name;
  }
}

}  // namespace
