// The public Workspace and the column entry point, on the run's WorkArrays.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <string>

#include "engine/parallel.h"
#include "engine/smoothing.h"
#include "engine/work_arrays.h"
#include "tessel/tessel.h"

namespace tessel {

LimitCheck checkLimits(int32_t NN, int32_t NTRIP, int32_t NITER) {
  if (NN > kMaxNN || NTRIP > kMaxNTRIP || NITER > kMaxNITER) return LimitCheck::kTooBig;
  if (NN < 0 || NTRIP < 0) return LimitCheck::kNegative;
  return LimitCheck::kWithinLimits;
}

Workspace::Workspace(AllocationPolicy& policy, int32_t workers)
    : policy_(policy), workers_(settleWorkerCount(workers)),
      arrays_(new WorkArrays(policy_, workers_, progress_)) {}

Workspace::~Workspace() = default;

LimitCheck Workspace::allocate(int32_t N, const SmoothingOptions& options) {
  const LimitCheck check = checkLimits(options.NN, options.NTRIP, options.NITER);
  if (check != LimitCheck::kWithinLimits) return check;
  options_ = options;
  options_.NN = neighborCountFor(N, options.NN);
  arrays_->allocate(N, options_.NN, options_.NTRIP, options_.method);
  return check;
}

void Workspace::loadPoint(int32_t i, double x, double y, double rate, double weight) {
  arrays_->loadPoint(i, x, y, rate, weight);
}

void Workspace::run() {
  WorkArrays& ws = *arrays_;
  try {
    smoothLoadedPoints(ws.N, options_.NN, options_.NTRIP, options_.NITER, options_.ThetaStar, ws);
  } catch (const Cancelled&) {
    ws.release();
    throw;
  }
}

const double* Workspace::values() const { return arrays_->currentValues.get(); }

int32_t Workspace::pointCount() const { return arrays_->N; }

void Workspace::forEachChunk(int32_t n, int32_t chunkSize,
                             const std::function<void(int32_t begin, int32_t end)>& body) const {
  tessel::forEachChunk(n, chunkSize, workers_,
                       [&](int32_t begin, int32_t end, int32_t /*worker*/) { body(begin, end); });
}

void Workspace::setProgress(ProgressHook hook) { progress_ = std::move(hook); }

void Workspace::release() { arrays_->release(); }

namespace {

// Counts the zero-size requests; meets every other.
class CountingAllocation : public AllocationPolicy {
 public:
  void* obtain(size_t size) override {
    if (size == 0) {
      ++zeroSize;
      return nullptr;
    }
    return policy.obtain(size);
  }
  int64_t zeroSize = 0;

 private:
  RaisingAllocation policy;
};

}  // namespace

int64_t zeroSizeRequests(int32_t N, const SmoothingOptions& options) {
  if (checkLimits(options.NN, options.NTRIP, options.NITER) != LimitCheck::kWithinLimits) {
    return 0;
  }
  // A run of stand points takes every step a run of N takes with the same
  // neighbour count (at most N - 1) and so the same scratch requests.
  const int32_t N0 = N < 0 ? 0 : N;
  const int32_t stand = std::min(N0, std::max(options.NN, 0) + 2);
  CountingAllocation policy;
  Workspace ws(policy, 1);
  ws.allocate(stand, options);
  for (int32_t i = 0; i < stand; ++i) ws.loadPoint(i, i, (i * i) % 7, 1.0, 1.0);
  ws.run();
  const int32_t NN = neighborCountFor(N0, options.NN);
  return policy.zeroSize -
         WorkArrays::zeroSizeRowRequests(stand, NN, options.NTRIP, options.method) +
         WorkArrays::zeroSizeRowRequests(N0, NN, options.NTRIP, options.method);
}

std::vector<double> smooth(const std::vector<double>& x, const std::vector<double>& y,
                           const std::vector<double>& rate, const std::vector<double>& weight,
                           const SmoothingOptions& options) {
  const size_t rows = x.size();
  if (y.size() != rows || rate.size() != rows || weight.size() != rows) {
    throw std::invalid_argument("x, y, rate and weight differ in length: " +
                                std::to_string(x.size()) + ", " + std::to_string(y.size()) + ", " +
                                std::to_string(rate.size()) + ", " + std::to_string(weight.size()));
  }
  if (rows > static_cast<size_t>(INT32_MAX)) {
    throw std::invalid_argument(std::to_string(rows) + " rows are more than 2147483647");
  }
  const std::vector<double>* columns[4] = {&x, &y, &rate, &weight};
  const char* const names[4] = {"x", "y", "rate", "weight"};
  std::vector<int32_t> kept;  // the rows without a NaN, in order
  kept.reserve(rows);
  for (size_t i = 0; i < rows; ++i) {
    bool missing = false;
    for (int c = 0; c < 4; ++c) {
      const double v = (*columns[c])[i];
      if (std::isinf(v)) {
        throw std::invalid_argument(std::string(names[c]) + " holds an infinite value at row " +
                                    std::to_string(i));
      }
      missing = missing || std::isnan(v);
    }
    if (!missing) kept.push_back(static_cast<int32_t>(i));
  }
  RaisingAllocation policy;
  Workspace ws(policy);
  const int32_t N = static_cast<int32_t>(kept.size());
  // The run's one check of the limits.
  if (ws.allocate(N, options) != LimitCheck::kWithinLimits) {
    throw std::invalid_argument(
        "NN must be 0 to " + std::to_string(kMaxNN) + ", NTRIP 0 to " + std::to_string(kMaxNTRIP) +
        " and NITER at most " + std::to_string(kMaxNITER) + "; got " + std::to_string(options.NN) +
        ", " + std::to_string(options.NTRIP) + ", " + std::to_string(options.NITER));
  }
  ws.forEachChunk(N, kPointChunk, [&](int32_t begin, int32_t end) {
    for (int32_t k = begin; k < end; ++k) {
      const size_t i = static_cast<size_t>(kept[static_cast<size_t>(k)]);
      ws.loadPoint(k, x[i], y[i], rate[i], weight[i]);
    }
  });
  ws.run();
  std::vector<double> values(rows, std::numeric_limits<double>::quiet_NaN());
  for (int32_t k = 0; k < N; ++k)
    values[static_cast<size_t>(kept[static_cast<size_t>(k)])] = ws.values()[k];
  return values;
}

}  // namespace tessel
