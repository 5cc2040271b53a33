// The public API: cancellation from the progress hook, and the column
// entry's refusal of bad arguments. (Its missing rows are the installed
// library's test, on the bundled example's missing rows, and the
// differential test's.)
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <stdexcept>
#include <string>
#include <thread>
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

// The column entry's refusals: which error, its column and row or its
// option and range, and the default text. An infinite value is refused in
// a missing row too, and the first one in row order is named; options are
// checked before the columns (whose lengths differ in every option case).
TEST(ColumnEntry, RefusesWithTheColumnRowOrOption) {
  using P = ColumnError::Problem;
  const int64_t kMany = int64_t{1} << 31;
  const struct {
    int64_t weightRows;  // x, y and rate have 3 rows (kMany: all, of one value)
    std::vector<std::pair<int, int64_t>> nonFinite;  // (column, row): inf, or NaN in column 1
    P problem;
    int column;
    int64_t row;
    const char* says;
  } columnCases[] = {
      {2, {}, P::kLengthsDiffer, -1, -1, "x, y, rate and weight differ in length: 3, 3, 3, 2"},
      {kMany, {}, P::kTooManyRows, -1, -1, "2147483648 rows are more than 2147483647"},
      {3, {{2, 1}}, P::kInfiniteValue, 2, 1, "rate holds an infinite value at row 1"},
      {3, {{0, 2}, {3, 1}}, P::kInfiniteValue, 3, 1, "weight holds an infinite value at row 1"},
      {3, {{3, 0}, {1, 0}}, P::kInfiniteValue, 3, 0, "weight holds an infinite value at row 0"},
  };
  for (const auto& c : columnCases) {
    double columns[4][3] = {{0, 1, 2}, {0, 1, 0}, {5, 6, 7}, {1, 1, 1}};
    for (const auto& at : c.nonFinite)
      columns[at.first][at.second] = at.first == 1 ? NAN : INFINITY;
    ColumnView views[4];
    for (int k = 0; k < 4; ++k) {
      const int64_t rows = k == 3 || c.weightRows == kMany ? c.weightRows : 3;
      views[k] = {columns[k], rows, rows > 3 ? 0 : 1};
    }
    double values[3] = {-1, -1, -1};
    try {
      smooth(views[0], views[1], views[2], views[3], {}, values);
      ADD_FAILURE() << c.says << ": not refused";
    } catch (const ColumnError& e) {
      EXPECT_STREQ(e.what(), c.says);
      EXPECT_EQ(e.problem(), c.problem) << c.says;
      EXPECT_EQ(e.column(), c.column) << c.says;
      EXPECT_EQ(e.row(), c.row) << c.says;
      EXPECT_EQ(e.length(3), c.weightRows) << c.says;
    }
    EXPECT_EQ(values[0], -1) << c.says;
  }
  using O = OptionError::Option;
  const struct {
    OptionValues options;
    O option;
    int64_t maximum;
    const char* says;
  } optionCases[] = {
      {{101}, O::kNeighbors, 100, "neighbors must be between 0 and 100, got 101"},
      {{int64_t{1} << 40},
       O::kNeighbors,
       100,
       "neighbors must be between 0 and 100, got 1099511627776"},
      {{10, -1}, O::kTriples, 80, "triples must be between 0 and 80, got -1"},
      {{10, 7, 101}, O::kIterations, 100, "iterations must be between 0 and 100, got 101"},
      {{10, 7, 10, NAN}, O::kTheta, 0, "theta must be finite, got nan"},
      {{10, 7, 10, -INFINITY}, O::kTheta, 0, "theta must be finite, got -inf"},
  };
  const std::vector<double> three = {0, 1, 2}, two = {0, 1};
  for (const auto& c : optionCases) {
    try {
      smooth(ColumnView{three.data(), 3}, ColumnView{three.data(), 3}, ColumnView{three.data(), 3},
             ColumnView{two.data(), 2}, c.options, nullptr);
      ADD_FAILURE() << c.says << ": not refused";
    } catch (const OptionError& e) {
      EXPECT_STREQ(e.what(), c.says);
      EXPECT_EQ(e.option(), c.option) << c.says;
      EXPECT_EQ(e.maximum(), c.maximum) << c.says;
    }
  }
  // The limits themselves are allowed, and any finite theta.
  EXPECT_EQ(smooth(three, three, three, three, {kMaxNN, kMaxNTRIP, kMaxNITER, -1e300}).size(), 3u);
}

// The hook is consulted while the rows are scanned and while they are
// loaded, and may stop either: it says stop at its first call of that
// stretch (a hook that takes 21 ms is called at every report).
TEST(ColumnEntry, TheHookMayStopTheScanAndTheLoading) {
  const double one = 1.0;
  const ColumnView same{&one, 70000, 0};
  for (const double stopAbove : {0.0, 0.5}) {
    std::vector<double> shares;
    const ProgressHook hook = [&](Phase phase, double share) {
      EXPECT_EQ(phase, Phase::kLoading);
      shares.push_back(share);
      std::this_thread::sleep_for(std::chrono::milliseconds(21));
      return !(share > stopAbove && share < stopAbove + 0.5);
    };
    double value = -1;
    EXPECT_THROW(smooth(same, same, same, same, {}, &value, hook, 1), Cancelled) << stopAbove;
    EXPECT_EQ(value, -1);
    ASSERT_GE(shares.size(), 2u);
    EXPECT_GT(shares.back(), stopAbove) << stopAbove;
  }
}

}  // namespace
