// The public PointIndex: the neighbour search's k-d tree, queried in
// batches on the engine's workers.
#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/kd_tree.h"
#include "engine/parallel.h"
#include "tessel/tessel.h"

namespace tessel {

namespace {

// Queries per chunk handed to a worker.
constexpr int32_t kQueryChunk = 512;

// Runs body(begin, end) over the queries [0, m) in chunks of kQueryChunk on
// `workers` threads, in slices that forEachChunk's counts can hold; a
// chunk's number is begin / kQueryChunk.
template <class Body>
void forEachQueryChunk(int64_t m, int32_t workers, Body body) {
  constexpr int64_t kSlice = int64_t{kQueryChunk} << 20;
  for (int64_t start = 0; start < m; start += kSlice) {
    const int32_t count = static_cast<int32_t>(m - start < kSlice ? m - start : kSlice);
    forEachChunk(count, kQueryChunk, workers,
                 [&](int32_t begin, int32_t end, int32_t) { body(start + begin, start + end); });
  }
}

void checkQueries(int64_t m, const double* qx, const double* qy) {
  if (m < 0) throw std::invalid_argument("a negative number of queries");
  for (int64_t q = 0; q < m; ++q) {
    if (!std::isfinite(qx[q]) || !std::isfinite(qy[q])) {
      throw std::invalid_argument("query " + std::to_string(q) +
                                  " has a coordinate that is not finite");
    }
  }
}

}  // namespace

PointIndex::PointIndex(int64_t n, const double* x, const double* y, int32_t workers)
    : workers_(settleWorkerCount(workers)) {
  if (n < 0 || n > std::numeric_limits<int32_t>::max()) {
    throw std::invalid_argument("a point index holds 0 to 2^31 - 1 points, not " +
                                std::to_string(n));
  }
  for (int64_t i = 0; i < n; ++i) {
    if (!std::isfinite(x[i]) || !std::isfinite(y[i])) {
      throw std::invalid_argument("point " + std::to_string(i) +
                                  " has a coordinate that is not finite");
    }
  }
  tree_.reset(new KdTree(x, y, static_cast<int32_t>(n), workers_));
}

PointIndex::~PointIndex() = default;

int64_t PointIndex::size() const { return tree_->size(); }

void PointIndex::coordinates(double* x, double* y) const {
  for (int32_t k = 0; k < tree_->size(); ++k) {
    const int32_t i = tree_->order()[k];
    x[i] = tree_->coordinates(k).x;
    y[i] = tree_->coordinates(k).y;
  }
}

size_t PointIndex::memoryBytes() const { return sizeof(*this) + tree_->memoryBytes(); }

void PointIndex::nearestDistances(int64_t m, const double* qx, const double* qy,
                                  const int64_t* self, int32_t k, const double* bound,
                                  double* out) const {
  checkQueries(m, qx, qy);
  if (k < 0) throw std::invalid_argument("a negative number of distances per query");
  const int64_t n = tree_->size();
  for (int64_t q = 0; q < m; ++q) {
    if (self[q] < -1 || self[q] >= n) {
      throw std::invalid_argument("query " + std::to_string(q) + " excludes point " +
                                  std::to_string(self[q]) + ", which is not indexed");
    }
  }
  forEachQueryChunk(m, workers_, [&](int64_t begin, int64_t end) {
    for (int64_t q = begin; q < end; ++q) {
      double* row = out + q * k;
      const int32_t found =
          tree_->nearestDistances(qx[q], qy[q], static_cast<int32_t>(self[q]), k, bound[q], row);
      for (int32_t j = found; j < k; ++j) row[j] = std::numeric_limits<double>::infinity();
    }
  });
}

void PointIndex::within(int64_t m, const double* qx, const double* qy, const double* radius,
                        int64_t* offsets, std::vector<int64_t>& points) const {
  checkQueries(m, qx, qy);
  // Each chunk's points, then the counts summed into offsets.
  std::vector<std::vector<int32_t>> found(static_cast<size_t>((m + kQueryChunk - 1) / kQueryChunk));
  forEachQueryChunk(m, workers_, [&](int64_t begin, int64_t end) {
    std::vector<int32_t>& mine = found[static_cast<size_t>(begin / kQueryChunk)];
    for (int64_t q = begin; q < end; ++q) {
      const size_t before = mine.size();
      tree_->within(qx[q], qy[q], radius[q], mine);
      offsets[q + 1] = static_cast<int64_t>(mine.size() - before);
    }
  });
  offsets[0] = 0;
  for (int64_t q = 0; q < m; ++q) offsets[q + 1] += offsets[q];
  points.clear();
  points.reserve(static_cast<size_t>(offsets[m]));
  for (std::vector<int32_t>& chunk : found) {
    points.insert(points.end(), chunk.begin(), chunk.end());
    std::vector<int32_t>().swap(chunk);
  }
}

}  // namespace tessel
