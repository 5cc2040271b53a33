// The column entry: the options checked into SmoothingOptions, the columns
// checked and scanned for missing rows, the complete rows loaded into a
// Workspace of the call's own, and the values and diagnostics put back in
// row order (a missing row's value NaN). The only code that maps missing
// rows for the bindings.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/parallel.h"
#include "engine/progress.h"
#include "tessel/tessel.h"

namespace tessel {

const char* columnName(int column) {
  switch (column) {
    case 0:
      return "x";
    case 1:
      return "y";
    case 2:
      return "rate";
    case 3:
      return "weight";
  }
  return "";
}

namespace {

std::string columnMessage(ColumnError::Problem problem, const int64_t lengths[4], int column,
                          int64_t row) {
  switch (problem) {
    case ColumnError::kLengthsDiffer:
      return "x, y, rate and weight differ in length: " + std::to_string(lengths[0]) + ", " +
             std::to_string(lengths[1]) + ", " + std::to_string(lengths[2]) + ", " +
             std::to_string(lengths[3]);
    case ColumnError::kTooManyRows:
      return std::to_string(lengths[0]) + " rows are more than " + std::to_string(INT32_MAX);
    case ColumnError::kInfiniteValue:
      return std::string(columnName(column)) + " holds an infinite value at row " +
             std::to_string(row);
  }
  return "";
}

}  // namespace

ColumnError::ColumnError(Problem problem, const int64_t lengths[4], int column, int64_t row)
    : std::invalid_argument(columnMessage(problem, lengths, column, row)),
      problem_(problem), lengths_{lengths[0], lengths[1], lengths[2], lengths[3]}, column_(column),
      row_(row) {}

OptionError::OptionError(Option option, int64_t minimum, int64_t maximum,
                         const std::string& message)
    : std::invalid_argument(message), option_(option), minimum_(minimum), maximum_(maximum) {}

const char* OptionError::name() const {
  switch (option_) {
    case kNeighbors:
      return "neighbors";
    case kTriples:
      return "triples";
    case kIterations:
      return "iterations";
    case kTheta:
      return "theta";
  }
  return "";
}

namespace {

int32_t checkedCount(OptionError::Option option, int64_t value, int32_t limit) {
  if (value < 0 || value > limit) {
    const OptionError bare(option, 0, limit, "");
    throw OptionError(option, 0, limit,
                      std::string(bare.name()) + " must be between 0 and " + std::to_string(limit) +
                          ", got " + std::to_string(value));
  }
  return static_cast<int32_t>(value);
}

}  // namespace

SmoothingOptions checkOptions(const OptionValues& values) {
  SmoothingOptions options;
  options.NN = checkedCount(OptionError::kNeighbors, values.neighbors, kMaxNN);
  options.NTRIP = checkedCount(OptionError::kTriples, values.triples, kMaxNTRIP);
  options.NITER = checkedCount(OptionError::kIterations, values.iterations, kMaxNITER);
  if (!std::isfinite(values.theta)) {
    const char* shown = std::isnan(values.theta) ? "nan" : values.theta > 0 ? "inf" : "-inf";
    throw OptionError(OptionError::kTheta, 0, 0, std::string("theta must be finite, got ") + shown);
  }
  options.ThetaStar = values.theta;
  options.method = values.method;
  return options;
}

namespace {

// Rows scanned between two reports to the progress hook (whose reporter
// passes one on when about 20 ms have passed): well under a millisecond.
constexpr int32_t kScanStride = 1 << 14;

double valueAt(const ColumnView& column, int64_t row) { return column.data[row * column.stride]; }

// The rows that take part: `count` of them; unless every row does
// (allComplete), `rows` lists them in order.
struct CompleteRows {
  int32_t count = 0;
  bool allComplete = true;
  std::vector<int32_t> rows;

  int32_t row(int32_t k) const { return allComplete ? k : rows[static_cast<size_t>(k)]; }
};

// Scans the n rows: refuses an infinite value, leaves out a row with a NaN.
CompleteRows findCompleteRows(const ColumnView* const columns[4], const int64_t lengths[4],
                              int32_t n, ProgressReporter& progress) {
  CompleteRows complete;
  for (int32_t i = 0; i < n; ++i) {
    if (i % kScanStride == 0) progress.report(static_cast<double>(i) / n);
    bool missing = false;
    for (int c = 0; c < 4; ++c) {
      const double v = valueAt(*columns[c], i);
      if (std::isfinite(v)) continue;
      if (std::isinf(v)) throw ColumnError(ColumnError::kInfiniteValue, lengths, c, i);
      missing = true;
    }
    if (missing && complete.allComplete) {
      // The first missing row: the rows before it, and the complete ones
      // after it, are listed from here on.
      complete.allComplete = false;
      complete.rows.reserve(static_cast<size_t>(n));
      for (int32_t k = 0; k < i; ++k) complete.rows.push_back(k);
    }
    if (missing) continue;
    if (!complete.allComplete) complete.rows.push_back(i);
    ++complete.count;
  }
  return complete;
}

// Spreads the first complete.count entries of a diagnostics column (one per
// complete row) to its n rows, `missing` in the other rows. In place, from
// the last entry back: entry k goes to row(k) >= k, past every entry not
// yet moved.
template <class T>
void spreadToRows(std::vector<T>& column, const CompleteRows& complete, int32_t n, T missing) {
  column.resize(static_cast<size_t>(n), missing);
  if (complete.allComplete) return;
  size_t next = static_cast<size_t>(n);  // the first row already placed
  for (int32_t k = complete.count - 1; k >= 0; --k) {
    const size_t row = static_cast<size_t>(complete.rows[static_cast<size_t>(k)]);
    std::fill(column.begin() + static_cast<std::ptrdiff_t>(row) + 1,
              column.begin() + static_cast<std::ptrdiff_t>(next), missing);
    column[row] = column[static_cast<size_t>(k)];
    next = row;
  }
  std::fill(column.begin(), column.begin() + static_cast<std::ptrdiff_t>(next), missing);
}

void spreadDiagnostics(Diagnostics& d, const CompleteRows& complete, int32_t n) {
  constexpr double kNone = std::numeric_limits<double>::quiet_NaN();
  for (std::vector<int32_t>* column :
       {&d.neighbors, &d.interior_triples, &d.end_triples, &d.last_change}) {
    spreadToRows(*column, complete, n, 0);
  }
  for (std::vector<double>* column : {&d.radius, &d.low_screen, &d.high_screen}) {
    spreadToRows(*column, complete, n, kNone);
  }
  spreadToRows(d.held, complete, n, uint8_t{0});
}

}  // namespace

void smooth(const ColumnView& x, const ColumnView& y, const ColumnView& rate,
            const ColumnView& weight, const OptionValues& optionValues, double* values,
            const ProgressHook& progress, int32_t workers, Diagnostics* diagnostics) {
  const SmoothingOptions options = checkOptions(optionValues);
  const ColumnView* const columns[4] = {&x, &y, &rate, &weight};
  const int64_t lengths[4] = {x.size, y.size, rate.size, weight.size};
  if (std::min({x.size, y.size, rate.size, weight.size}) < 0) {
    throw std::invalid_argument("a column's size is negative");
  }
  if (y.size != x.size || rate.size != x.size || weight.size != x.size) {
    throw ColumnError(ColumnError::kLengthsDiffer, lengths, -1, -1);
  }
  if (x.size > INT32_MAX) throw ColumnError(ColumnError::kTooManyRows, lengths, -1, -1);
  const int32_t n = static_cast<int32_t>(x.size);

  RaisingAllocation policy;
  Workspace ws(policy, workers);
  // The scan takes the first half of the loading phase, the loading the
  // second.
  ProgressReporter reporter(progress);
  reporter.begin(Phase::kLoading);
  reporter.setSpan(0.0, 0.5);
  const CompleteRows complete = findCompleteRows(columns, lengths, n, reporter);
  const int32_t N = complete.count;
  ws.allocate(N, options);  // within the limits: checkOptions
  reporter.setSpan(0.5, 1.0);
  forEachChunk(
      N, kPointChunk, ws.workers(),
      [&](int32_t begin, int32_t end, int32_t /*worker*/) {
        for (int32_t k = begin; k < end; ++k) {
          const int64_t i = complete.row(k);
          ws.loadPoint(k, valueAt(x, i), valueAt(y, i), valueAt(rate, i), valueAt(weight, i));
        }
      },
      [&](double done) { reporter.report(done); });
  reporter.end();

  ws.setProgress(progress);
  ws.run(diagnostics);
  const double* smoothed = ws.values();
  if (complete.allComplete) {
    if (N > 0) std::memcpy(values, smoothed, static_cast<size_t>(N) * sizeof(double));
  } else {
    std::fill(values, values + n, std::numeric_limits<double>::quiet_NaN());
    for (int32_t k = 0; k < N; ++k) values[complete.rows[static_cast<size_t>(k)]] = smoothed[k];
  }
  if (diagnostics != nullptr) spreadDiagnostics(*diagnostics, complete, n);
}

std::vector<double> smooth(const std::vector<double>& x, const std::vector<double>& y,
                           const std::vector<double>& rate, const std::vector<double>& weight,
                           const SmoothingOptions& options) {
  auto view = [](const std::vector<double>& column) {
    return ColumnView{column.data(), static_cast<int64_t>(column.size()), 1};
  };
  OptionValues values;
  values.neighbors = options.NN;
  values.triples = options.NTRIP;
  values.iterations = options.NITER;
  values.theta = options.ThetaStar;
  values.method = options.method;
  std::vector<double> smoothed(x.size());
  smooth(view(x), view(y), view(rate), view(weight), values, smoothed.data());
  return smoothed;
}

}  // namespace tessel
