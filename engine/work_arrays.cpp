// Provisioning and release of a run's work arrays.
#include "engine/work_arrays.h"

#include <algorithm>

namespace tessel {

namespace {

// One block of N rows of rowLength elements. A row of size 0 is still one
// (zero-size) request per point.
template <class T>
T* obtainRows(AllocationPolicy& policy, int32_t N, int64_t rowLength) {
  if (rowLength == 0) {
    for (int32_t i = 0; i < N; ++i) obtainArray<T>(policy, 0);
    return nullptr;
  }
  if (N <= 0) return nullptr;
  return obtainArray<T>(policy, static_cast<int64_t>(N) * rowLength);
}

template <class T>
T* rowAt(T* block, int64_t rowLength, int32_t k) {
  return block == nullptr ? nullptr : block + rowLength * k;
}

template <class T>
void obtain(Block<T>& block, AllocationPolicy& policy, int64_t count) {
  block.reset(obtainArray<T>(policy, count));
}

}  // namespace

int32_t neighborListLength(int32_t N, int32_t NN, Method method) {
  if (N <= 0) return 0;
  if (method == Method::kReference) return N;
  return std::min(std::max(NN, 0), N - 1) + 1;
}

int32_t neighborCountFor(int32_t N, int32_t NN) { return N >= 1 && NN >= N ? N - 1 : NN; }

namespace {

// The lengths of a point's rows, in the order allocate obtains them: its
// end values (2 x NTRIP), its triples and, for the reference method, its
// neighbour list (-1: none).
struct RowLengths {
  int64_t endValues, triples, neighbors;
};

RowLengths rowLengthsOf(int32_t N, int32_t NN, int32_t NTRIP, Method method) {
  return {2 * int64_t{NTRIP}, NTRIP,
          method == Method::kReference ? int64_t{neighborListLength(N, NN, method)} : -1};
}

}  // namespace

int64_t WorkArrays::zeroSizeRowRequests(int32_t N, int32_t NN, int32_t NTRIP, Method method) {
  const RowLengths rows = rowLengthsOf(N, NN, NTRIP, method);
  const int64_t empty = (rows.endValues == 0) + (rows.triples == 0) + (rows.neighbors == 0);
  return N > 0 ? empty * N : 0;
}

void WorkArrays::allocate(int32_t N, int32_t NN, int32_t NTRIP, Method method) {
  release();
  this->method = method;
  this->N = N;
  this->NN = NN;
  this->NTRIP = NTRIP;
  listLength = neighborListLength(N, NN, method);
  obtain(pointCoords, policy, N);
  obtain(rates, policy, N);
  obtain(weights, policy, N);
  obtain(currentValues, policy, N);
  obtain(nextValues, policy, N);
  obtain(endValues, policy, N);
  const RowLengths rows = rowLengthsOf(N, NN, NTRIP, method);
  endRows.reset(obtainRows<double>(policy, N, rows.endValues));
  obtain(neighborScratch, policy, N);
  obtain(tripleSets, policy, N);
  obtain(neighborLists, policy, N);
  tripleRows.reset(obtainRows<Triple>(policy, N, rows.triples));
  // The blocks every run writes whole on huge pages, and the end rows,
  // written only for end triples, on small ones (the rest are never
  // written).
  adviseHugePageArray(pointCoords.get(), N);
  adviseHugePageArray(weights.get(), N);
  adviseHugePageArray(currentValues.get(), N);
  adviseHugePageArray(nextValues.get(), N);
  adviseHugePageArray(tripleSets.get(), N);
  adviseHugePageArray(tripleRows.get(), int64_t{N} * rows.triples);
  adviseSmallPages(endRows.get(), workBlockSize(int64_t{N} * rows.endValues, sizeof(double)));
  if (rows.neighbors >= 0) entryRows.reset(obtainRows<NeighborEntry>(policy, N, rows.neighbors));
  const bool lists = method == Method::kReference;
  forEachPointRange(N, workers, [&](int32_t begin, int32_t end, int32_t /*worker*/) {
    for (int32_t i = begin; i < end; ++i) {
      tripleSets[i] = {0, 0};
      if (lists) neighborLists[i] = {i, rowAt(entryRows.get(), rows.neighbors, i)};
    }
  });
}

void WorkArrays::release() {
  for (Block<double>* values : {&rates, &weights, &currentValues, &nextValues, &endRows}) {
    values->reset();
  }
  pointCoords.reset();
  endValues.reset();
  neighborScratch.reset();
  entryRows.reset();
  tripleRows.reset();
  tripleSets.reset();
  neighborLists.reset();
  N = NN = NTRIP = listLength = 0;
}

}  // namespace tessel
