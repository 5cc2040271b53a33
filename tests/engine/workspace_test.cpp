// The public API: cancellation from the progress hook, the count of
// zero-size requests against a real run's, and tessel::smooth's refusal of
// bad arguments. (Its missing rows are the installed library's
// test, on the bundled example's missing rows.)
#include <gtest/gtest.h>

#include <cmath>
#include <random>
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

// Counts the zero-size requests of a real run; meets every other.
class Counting : public AllocationPolicy {
 public:
  void* obtain(size_t size) override {
    if (size == 0) {
      ++zeroSize;
      return nullptr;
    }
    return policy.obtain(size);
  }
  int64_t zeroSize = 0;
  RaisingAllocation policy;
};

TEST(ZeroSizeRequests, AsManyAsARunOfTheWholeTableMakes) {
  std::mt19937 random(5);
  for (int trial = 0; trial < 300; ++trial) {
    const int32_t N = trial < 10 ? trial : int32_t(random() % 400);
    SmoothingOptions options;
    options.NN = int32_t(random() % 14);
    options.NTRIP = random() % 3 == 0 ? 0 : int32_t(random() % 9);
    options.NITER = int32_t(random() % 5) - 1;
    options.method = trial % 4 == 0 ? Method::kReference : Method::kFast;
    Counting policy;
    Workspace ws(policy, 1 + trial % 3);
    ASSERT_EQ(ws.allocate(N, options), LimitCheck::kWithinLimits);
    for (int32_t i = 0; i < N; ++i) {
      // Clusters, coincident points and lines, so that some points have no
      // triples and some are ends.
      const int32_t cell = int32_t(random() % 6);
      ws.loadPoint(i, cell * 10 + double(random() % 5), cell % 2 ? 0.0 : double(random() % 9),
                   double(random() % 50), 1.0 + random() % 4);
    }
    ws.run();
    EXPECT_EQ(zeroSizeRequests(N, options), policy.zeroSize)
        << "N " << N << " NN " << options.NN << " NTRIP " << options.NTRIP;
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
