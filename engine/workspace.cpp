// Provisioning and release of a run's work arrays.
#include "engine/workspace.h"

#include <algorithm>
#include <cstdlib>

#include "engine/parallel.h"

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

}  // namespace

int32_t neighborListLength(int32_t N, int32_t NN, NeighborSearch search) {
  if (N <= 0) return 0;
  if (search == NeighborSearch::kExhaustive) return N;
  return std::min(std::max(NN, 0), N - 1) + 1;
}

Workspace::Workspace(AllocationPolicy& policy, int32_t workers)
    : policy(policy), workers(settleWorkerCount(workers)) {}

void Workspace::allocateWorkArrays(int32_t N, int32_t NN, int32_t NTRIP,
                                   NeighborSearch search) {
  freeWorkArrays();
  this->search = search;
  this->N = N;
  this->NTRIP = NTRIP;
  listLength = neighborListLength(N, NN, search);
  pointCoords = obtainArray<PointCoord>(policy, N);
  rates = obtainArray<double>(policy, N);
  weights = obtainArray<double>(policy, N);
  currentValues = obtainArray<double>(policy, N);
  nextValues = obtainArray<double>(policy, N);
  endValues = obtainArray<double*>(policy, N);
  endRows = obtainRows<double>(policy, N, 2 * int64_t{NTRIP});
  neighborScratch = obtainArray<NeighborEntry>(policy, N);
  tripleSets = obtainArray<TripleSet>(policy, N);
  neighborLists = obtainArray<NeighborList>(policy, N);
  tripleRows = obtainRows<Triple>(policy, N, NTRIP);
  if (search == NeighborSearch::kExhaustive) {
    entryRows = obtainRows<NeighborEntry>(policy, N, listLength);
  }
  forEachPointRange(N, workers, [&](int32_t begin, int32_t end, int32_t /*worker*/) {
    for (int32_t i = begin; i < end; ++i) {
      endValues[i] = rowAt(endRows, 2 * int64_t{NTRIP}, i);
      tripleSets[i] = {0, 0, rowAt(tripleRows, NTRIP, i)};
      neighborLists[i] = {i, rowAt(entryRows, listLength, i)};
    }
  });
}

void Workspace::freeWorkArrays() {
  std::free(pointCoords);
  std::free(rates);
  std::free(weights);
  std::free(currentValues);
  std::free(nextValues);
  std::free(endRows);
  std::free(endValues);
  std::free(neighborScratch);
  std::free(entryRows);
  std::free(tripleRows);
  std::free(tripleSets);
  std::free(neighborLists);
  pointCoords = nullptr;
  rates = weights = currentValues = nextValues = nullptr;
  endValues = nullptr;
  endRows = nullptr;
  neighborScratch = nullptr;
  tripleSets = nullptr;
  tripleRows = nullptr;
  neighborLists = nullptr;
  entryRows = nullptr;
  N = listLength = NTRIP = 0;
}
