// The engine entry: limit checks, provisioning of the work arrays in their
// fixed order, and the sequence of phases from loading to release.
#include "engine/smooth_rates.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <type_traits>
#include <vector>

#include "engine/allocator.h"
#include "engine/huge_pages.h"
#include "engine/parallel.h"
#include "engine/phases.h"
#include "engine/prefault.h"
#include "engine/work_arrays.h"

namespace {

const int32_t kMaxNN = 100;
const int32_t kMaxNTRIP = 80;
const int32_t kMaxNITER = 100;

// The per-point rows (coordinates, end values, triples, neighbour entries)
// come from one block per kind, carved into rows, instead of one block per
// point. A row of size 0 is still requested once per point, so that each
// gives its zero-size report as before.
struct RowBlocks {
  PointCoord* coords = nullptr;
  double* endRows = nullptr;
  Triple* triples = nullptr;
  NeighborEntry* entries = nullptr;
};

RowBlocks rowBlocks;

// Advises huge pages for an array of count elements of elementSize bytes.
void adviseHugeArray(const void* block, int64_t count, size_t elementSize) {
  if (count > 0) adviseHugePages(block, static_cast<size_t>(count) * elementSize);
}

// Rows that every point fills are advised huge pages (hugePages); rows only
// some points fill (the end values) are left on small pages, so that the
// pages no point writes are never provided.
template <class T>
T* obtainRows(int32_t N, int64_t rowLength, bool hugePages = true) {
  if (rowLength == 0) {
    for (int32_t i = 0; i < N; ++i) allocateWorkArray<T>(0);
    return nullptr;
  }
  if (N <= 0) return nullptr;
  T* block = allocateWorkArray<T>(static_cast<int64_t>(N) * rowLength);
  if (hugePages) adviseHugeArray(block, static_cast<int64_t>(N) * rowLength, sizeof(T));
  return block;
}

template <class T>
T* rowAt(T* block, int64_t rowLength, int32_t i) {
  return block == nullptr ? nullptr : block + rowLength * i;
}

// Obtains every work array, in the order the reports of zero-size requests
// follow.
void allocateWorkArrays(int32_t N, int32_t NN, int32_t NTRIP) {
  const int32_t listLength = neighborListLength(N, NN);
  pointCoords = allocateWorkArray<PointCoord*>(N);
  rowBlocks.coords = obtainRows<PointCoord>(N, 1);
  rates = allocateWorkArray<double>(N);
  weights = allocateWorkArray<double>(N);
  currentValues = allocateWorkArray<double>(N);
  nextValues = allocateWorkArray<double>(N);
  endValues = allocateWorkArray<double*>(N);
  rowBlocks.endRows = obtainRows<double>(N, NTRIP, /*hugePages=*/false);
  neighborScratch = allocateWorkArray<NeighborEntry>(N);
  tripleSets = allocateWorkArray<TripleSet>(N);
  neighborLists = allocateWorkArray<NeighborList>(N);
  rowBlocks.triples = obtainRows<Triple>(N, NTRIP);
  rowBlocks.entries = obtainRows<NeighborEntry>(N, listLength);
  adviseHugeArray(pointCoords, N, sizeof(PointCoord*));
  adviseHugeArray(rates, N, sizeof(double));
  adviseHugeArray(weights, N, sizeof(double));
  adviseHugeArray(currentValues, N, sizeof(double));
  adviseHugeArray(nextValues, N, sizeof(double));
  adviseHugeArray(endValues, N, sizeof(double*));
  adviseHugeArray(neighborScratch, N, sizeof(NeighborEntry));
  adviseHugeArray(tripleSets, N, sizeof(TripleSet));
  adviseHugeArray(neighborLists, N, sizeof(NeighborList));
  forEachPointRange(N, [&](int32_t begin, int32_t end, int32_t /*worker*/) {
    for (int32_t i = begin; i < end; ++i) {
      pointCoords[i] = rowAt(rowBlocks.coords, 1, i);
      endValues[i] = rowAt(rowBlocks.endRows, NTRIP, i);
      tripleSets[i].interiorCount = 0;
      tripleSets[i].endCount = 0;
      tripleSets[i].triples = rowAt(rowBlocks.triples, NTRIP, i);
      neighborLists[i].owner = i;
      neighborLists[i].entries = rowAt(rowBlocks.entries, listLength, i);
    }
  });
}

#ifndef TESSEL_EXHAUSTIVE_NEIGHBORS
// Between the neighbour search and the writer the engine numbers the points
// in the grid's order, so that points near each other in the plane lie near
// each other in every array and the phases after the search read their
// neighbours' data from the cache. Each list and triple keeps its order and
// each point is treated on its own, so the results do not change; the
// values go back to input order before they are written.

// The rows of point i are placed at its place k in the grid's order; set
// before the search fills the lists.
void placeRowsInGridOrder(int32_t N, int32_t NTRIP, int32_t listLength,
                          const int32_t* order) {
  forEachPointRange(N, [&](int32_t begin, int32_t end, int32_t /*worker*/) {
    for (int32_t k = begin; k < end; ++k) {
      const int32_t i = order[k];
      endValues[i] = rowAt(rowBlocks.endRows, NTRIP, k);
      tripleSets[i].triples = rowAt(rowBlocks.triples, NTRIP, k);
      neighborLists[i].entries = rowAt(rowBlocks.entries, listLength, k);
    }
  });
}

// Moves array elements between input order and grid order through one
// scratch copy of their bytes, reused for every array.
class Reorderer {
 public:
  explicit Reorderer(int32_t N)
      : N(N < 0 ? 0 : N), scratch(new unsigned char[static_cast<size_t>(this->N) * kSlotSize]) {
    adviseHugePages(scratch.get(), static_cast<size_t>(this->N) * kSlotSize);
  }

  // values[k] = old values[order[k]] (gather) or values[order[k]] = old
  // values[k] (scatter).
  template <class T>
  void apply(T* values, const int32_t* order, bool gather) {
    static_assert(sizeof(T) <= kSlotSize && std::is_trivially_copyable<T>::value,
                  "element unfit for the scratch copy");
    unsigned char* copy = scratch.get();
    forEachPointRange(N, [&](int32_t begin, int32_t end, int32_t /*worker*/) {
      std::memcpy(copy + static_cast<size_t>(begin) * sizeof(T), values + begin,
                  static_cast<size_t>(end - begin) * sizeof(T));
    });
    forEachPointRange(N, [&](int32_t begin, int32_t end, int32_t /*worker*/) {
      for (int32_t k = begin; k < end; ++k) {
        if (gather) {
          std::memcpy(&values[k], copy + static_cast<size_t>(order[k]) * sizeof(T), sizeof(T));
        } else {
          std::memcpy(&values[order[k]], copy + static_cast<size_t>(k) * sizeof(T), sizeof(T));
        }
      }
    });
  }

 private:
  // Bytes of the largest element the engine reorders.
  static constexpr size_t kSlotSize = 16;
  int32_t N;
  std::unique_ptr<unsigned char[]> scratch;
};

// Renumbers the points after the search: point order[k] becomes point k.
void numberInGridOrder(int32_t N, int32_t listLength, const int32_t* order) {
  std::vector<int32_t> place(static_cast<size_t>(N));
  forEachPointRange(N, [&](int32_t begin, int32_t end, int32_t /*worker*/) {
    for (int32_t k = begin; k < end; ++k) place[static_cast<size_t>(order[k])] = k;
  });
  Reorderer reorder(N);
  reorder.apply(rowBlocks.coords, order, true);
  reorder.apply(rates, order, true);
  reorder.apply(weights, order, true);
  reorder.apply(currentValues, order, true);
  reorder.apply(nextValues, order, true);
  reorder.apply(endValues, order, true);
  reorder.apply(tripleSets, order, true);
  reorder.apply(neighborLists, order, true);
  forEachPointRange(N, [&](int32_t begin, int32_t end, int32_t /*worker*/) {
    for (int32_t k = begin; k < end; ++k) {
      neighborLists[k].owner = k;
      NeighborEntry* entries = neighborLists[k].entries;
      for (int32_t e = 0; e < listLength; ++e) {
        entries[e].index = place[static_cast<size_t>(entries[e].index)];
      }
    }
  });
  forgetVisitOrder();
}

// Puts the values back in input order for the writer.
void restoreInputOrder(int32_t N, const std::vector<int32_t>& order) {
  if (order.empty()) return;
  Reorderer reorder(N);
  reorder.apply(rates, order.data(), false);
  reorder.apply(weights, order.data(), false);
  reorder.apply(currentValues, order.data(), false);
  reorder.apply(nextValues, order.data(), false);
}

#endif  // TESSEL_EXHAUSTIVE_NEIGHBORS

// Frees the row blocks and clears the row pointers into them, then releases
// the rest through freeWorkArrays, which finds no row of its own to free.
void releaseWorkArrays(int32_t N) {
  for (int32_t i = 0; i < N; ++i) {
    if (pointCoords != nullptr) pointCoords[i] = nullptr;
    if (endValues != nullptr) endValues[i] = nullptr;
    if (tripleSets != nullptr) tripleSets[i].triples = nullptr;
    if (neighborLists != nullptr) neighborLists[i].entries = nullptr;
  }
  std::free(rowBlocks.coords);
  std::free(rowBlocks.endRows);
  std::free(rowBlocks.triples);
  std::free(rowBlocks.entries);
  rowBlocks = RowBlocks();
  freeWorkArrays(N);
}

// The run from loading to writing, on provisioned arrays; true when the
// result table was written, else outputError tells a failed write of it.
bool smoothLoadedRun(int32_t N, int32_t NN, int32_t NTRIP, int32_t NITER, double ThetaStar,
                     const char* workFileName, const IgnoredRowList& ignoredRows,
                     const char* missingText, const char* headerMark, std::FILE* log,
                     int& outputError) {
  // While loading and ordering run on one core, the pages of the blocks the
  // search and the selection fill are made ready on another.
  Prefaulter prefaulter;
  const size_t points = static_cast<size_t>(N < 0 ? 0 : N);
  prefaulter.add(rowBlocks.entries,
                 points * static_cast<size_t>(neighborListLength(N, NN)) * sizeof(NeighborEntry));
  prefaulter.add(rowBlocks.triples, points * static_cast<size_t>(NTRIP) * sizeof(Triple));
  prefaulter.start();
  if (!loadPoints(N, NN, NTRIP, NITER, workFileName)) return false;
#ifdef TESSEL_EXHAUSTIVE_NEIGHBORS
  prefaulter.finish();
  computeDistances(N, NN, NTRIP, NITER);
  sortNeighbors(N, NN, NTRIP, NITER);
#else
  // The grid's order, kept to put the values back in input order.
  std::vector<int32_t> gridOrder;
  orderPointsInGrid(N);
  if (const int32_t* order = visitOrder(N)) {
    gridOrder.assign(order, order + N);
    placeRowsInGridOrder(N, NTRIP, neighborListLength(N, NN), order);
  }
  prefaulter.finish();
  findNearestNeighbors(N, NN, NTRIP, NITER);
  if (!gridOrder.empty()) numberInGridOrder(N, neighborListLength(N, NN), gridOrder.data());
#endif
  selectInteriorTriples(N, NN, NTRIP, NITER, ThetaStar);
  selectEndTriples(N, NN, NTRIP, NITER, ThetaStar);
  runIterations(N, NN, NTRIP, NITER, currentValues);
#ifndef TESSEL_EXHAUSTIVE_NEIGHBORS
  restoreInputOrder(N, gridOrder);
#endif
  outputError = writeResults(N, missingText, ignoredRows, headerMark, log);
  return outputError == 0;
}

}  // namespace

bool smoothRates(int32_t N, int32_t NN, int32_t NTRIP, int32_t NITER, double ThetaStar,
                 const char* workFileName, IgnoredRowList ignoredRows,
                 const char* missingText, const char* headerMark, std::FILE* log,
                 int& outputError) {
  outputError = 0;
  if (NN > kMaxNN || NTRIP > kMaxNTRIP || NITER > kMaxNITER) {
    std::printf("One or more control parameters are too big:\n");
    std::printf("NN = %d: NTRIP = %d; NITER = %d\n", NN, NTRIP, NITER);
    std::printf("The maximum values are:\n");
    std::printf("NN = %d; NTRIP = %d; NITER = %d\n", kMaxNN, kMaxNTRIP, kMaxNITER);
    std::fflush(stdout);
    return false;
  }
  if (NN < 0 || NTRIP < 0) {
    std::printf("One or more control parameters are negative:\n");
    std::printf("NN = %d; NTRIP = %d\n", NN, NTRIP);
    std::printf("The minimum values are:\n");
    std::printf("NN = 0; NTRIP = 0\n");
    std::fflush(stdout);
    return false;
  }
  // NN is a maximum: with fewer other points, every point takes them all.
  if (N >= 1 && NN >= N) NN = N - 1;

  allocateWorkArrays(N, NN, NTRIP);
  // Whatever ends the run early, an exception included, releases the arrays.
  try {
    bool written = smoothLoadedRun(N, NN, NTRIP, NITER, ThetaStar, workFileName,
                                   ignoredRows, missingText, headerMark, log, outputError);
    releaseWorkArrays(N);
    return written;
  } catch (...) {
    releaseWorkArrays(N);
    throw;
  }
}
