// The public API: cancellation from the progress hook, and tessel::smooth's
// refusal of bad arguments. (Its missing rows are the installed library's
// test, on the bundled example's missing rows.)
#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "tessel/tessel.h"

using namespace tessel;

namespace {

// A workspace for n points on a jittered grid, rates varying.
void allocateGrid(Workspace& ws, int32_t n, Method method) {
  SmoothingOptions options;
  options.method = method;
  ASSERT_EQ(ws.allocate(n, options), LimitCheck::kWithinLimits);
  for (int32_t i = 0; i < n; ++i) {
    ws.loadPoint(i, i % 100 + 0.001 * (i % 7), i / 100 + 0.001 * (i % 11), (i * 37) % 101, 1.0);
  }
}

TEST(Workspace, AHookThatSaysStopEndsTheRunAndReleasesEverything) {
  for (Phase stopIn : {Phase::kTree, Phase::kSearchAndTriples, Phase::kIterations, Phase::kSearch,
                       Phase::kTriples}) {
    const bool reference = stopIn == Phase::kSearch || stopIn == Phase::kTriples;
    const Method method = reference ? Method::kReference : Method::kFast;
    RaisingAllocation policy;
    Workspace ws(policy, 2);
    allocateGrid(ws, 2000, method);
    int callsAfterStop = 0;
    bool stopped = false;
    ws.setProgress([&](Phase phase, double) {
      callsAfterStop += stopped;
      stopped = stopped || phase == stopIn;
      return !stopped;
    });
    EXPECT_THROW(ws.run(), Cancelled) << phaseName(stopIn);
    EXPECT_EQ(callsAfterStop, 0);
    EXPECT_EQ(ws.pointCount(), 0);
    EXPECT_EQ(ws.values(), nullptr);
    // The workspace serves a new run afterwards.
    ws.setProgress(nullptr);
    allocateGrid(ws, 10, method);
    ws.run();
    EXPECT_EQ(ws.pointCount(), 10);
  }
}

// One bar over a whole run: from 0, never back, each phase taking up where
// the one before ended, to 1 (a fast run) or to the end of the reference
// method's iterations.
TEST(Workspace, TheRunsShareOnlyGrowsWithoutGaps) {
  for (Method method : {Method::kFast, Method::kReference}) {
    RaisingAllocation policy;
    Workspace ws(policy, 2);
    allocateGrid(ws, 3000, method);
    std::vector<std::pair<Phase, double>> seen;
    ws.setProgress([&](Phase phase, double share) {
      seen.emplace_back(phase, runShare(phase, share));
      return true;
    });
    ws.run();
    EXPECT_EQ(seen.front().second, 0.0);
    EXPECT_EQ(seen.back().second, method == Method::kFast ? 1.0 : 0.98);
    for (size_t k = 1; k < seen.size(); ++k) {
      if (seen[k].first == seen[k - 1].first) {
        ASSERT_LE(seen[k - 1].second, seen[k].second) << k;
      } else {
        ASSERT_EQ(seen[k - 1].second, seen[k].second) << phaseName(seen[k].first);
      }
    }
  }
}

TEST(Smooth, BadArgumentsAreRefusedWithAClearText) {
  const std::vector<double> three = {0, 1, 2}, two = {0, 1}, infinite = {0, INFINITY, 2};
  SmoothingOptions tooMany;
  tooMany.NN = kMaxNN + 1;
  const struct {
    std::vector<double> x, y;
    SmoothingOptions options;
    const char* says;
  } cases[] = {{three, two, {}, "differ in length"},
               {three, infinite, {}, "infinite"},
               {three, three, tooMany, "NN"}};
  for (const auto& c : cases) {
    try {
      smooth(c.x, c.y, three, three, c.options);
      ADD_FAILURE() << c.says << ": not refused";
    } catch (const std::invalid_argument& e) {
      EXPECT_NE(std::string(e.what()).find(c.says), std::string::npos) << e.what();
    }
  }
}

}  // namespace
