// The public API: cancellation from the progress hook, and tessel::smooth's
// refusal of bad arguments. (Its missing rows are the installed library's
// test, on the bundled example's missing rows.)
#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>
#include <string>
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
