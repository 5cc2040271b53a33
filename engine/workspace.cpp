// The public Workspace, on the run's WorkArrays.
#include <algorithm>
#include <cstdint>
#include <limits>
#include <vector>

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

namespace {

// Every point's diagnostics as they stand before a run finds anything: no
// neighbours or triples, no screens, never held or changed.
// Fills a column with n copies of value. A column that must grow is given
// its new memory first and advised onto huge pages before the fill touches
// it: the columns of a million points are 41 MB, which the fill would
// otherwise fault in a page at a time.
template <class T>
void fillColumn(std::vector<T>& column, size_t n, T value) {
  if (column.capacity() < n) {
    std::vector<T>().swap(column);
    column.reserve(n);
    adviseHugePages(column.data(), n * sizeof(T));
  }
  column.assign(n, value);
}

void resetDiagnostics(Diagnostics& d, int32_t N) {
  const size_t n = N < 0 ? 0 : static_cast<size_t>(N);
  constexpr double kNone = std::numeric_limits<double>::quiet_NaN();
  for (std::vector<int32_t>* column :
       {&d.neighbors, &d.interior_triples, &d.end_triples, &d.last_change}) {
    fillColumn(*column, n, 0);
  }
  for (std::vector<double>* column : {&d.radius, &d.low_screen, &d.high_screen}) {
    fillColumn(*column, n, kNone);
  }
  fillColumn(d.held, n, uint8_t{0});
}

// Points the run's arrays at the caller's diagnostics while a run lasts.
class DiagnosticsInRun {
 public:
  DiagnosticsInRun(WorkArrays& ws, Diagnostics* diagnostics) : ws(ws) {
    if (diagnostics != nullptr) resetDiagnostics(*diagnostics, ws.N);
    ws.diagnostics = diagnostics;
  }
  ~DiagnosticsInRun() { ws.diagnostics = nullptr; }
  DiagnosticsInRun(const DiagnosticsInRun&) = delete;
  DiagnosticsInRun& operator=(const DiagnosticsInRun&) = delete;

 private:
  WorkArrays& ws;
};

}  // namespace

void Workspace::run(Diagnostics* diagnostics) {
  WorkArrays& ws = *arrays_;
  try {
    const DiagnosticsInRun keep(ws, diagnostics);
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

}  // namespace tessel
