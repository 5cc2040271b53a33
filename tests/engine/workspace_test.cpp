// The public API: cancellation from the progress hook, and tessel::smooth's
// treatment of missing rows and bad arguments.
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

TEST(Smooth, MissingRowsComeBackNaNAndTheRestAsWithoutThem) {
  std::vector<double> x, y, rate, weight;
  for (int i = 0; i < 50; ++i) {
    x.push_back(i % 7), y.push_back(i / 7), rate.push_back((i * 13) % 17);
    weight.push_back(1 + i % 3);
  }
  const std::vector<double> whole = smooth(x, y, rate, weight);
  // The same rows with a missing row put in at 10 and 30.
  for (std::vector<double>* column : {&x, &y, &rate, &weight}) {
    column->insert(column->begin() + 30, 1.0);
    column->insert(column->begin() + 10, 1.0);
  }
  x[10] = weight[31] = NAN;
  const std::vector<double> gapped = smooth(x, y, rate, weight);
  ASSERT_EQ(gapped.size(), 52u);
  EXPECT_TRUE(std::isnan(gapped[10]) && std::isnan(gapped[31]));
  std::vector<double> rest = gapped;
  rest.erase(rest.begin() + 31);
  rest.erase(rest.begin() + 10);
  EXPECT_EQ(rest, whole);
}

TEST(Smooth, BadArgumentsAreRefusedWithAClearText) {
  const std::vector<double> three = {0, 1, 2}, two = {0, 1}, infinite = {0, INFINITY, 2};
  SmoothingOptions tooMany, negative;
  tooMany.NN = kMaxNN + 1;
  negative.NTRIP = -1;
  const struct {
    std::vector<double> x, y;
    SmoothingOptions options;
    const char* says;
  } cases[] = {{three, two, {}, "differ in length"},
               {three, infinite, {}, "infinite"},
               {three, three, tooMany, "NN"},
               {three, three, negative, "NTRIP"}};
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
