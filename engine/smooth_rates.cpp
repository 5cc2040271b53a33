// The engine entry: limit checks, provisioning of the work arrays in their
// fixed order, and the sequence of phases from loading to release.
#include "engine/smooth_rates.h"

#include <cstdio>

#include "engine/allocator.h"
#include "engine/phases.h"
#include "engine/work_arrays.h"

namespace {

const int32_t kMaxNN = 100;
const int32_t kMaxNTRIP = 80;
const int32_t kMaxNITER = 100;

// Obtains every work array, in the order the reports of zero-size requests
// follow.
void allocateWorkArrays(int32_t N, int32_t NN, int32_t NTRIP) {
  (void)NN;
  pointCoords = allocateWorkArray<PointCoord*>(N);
  for (int32_t i = 0; i < N; ++i) pointCoords[i] = allocateWorkArray<PointCoord>(1);
  rates = allocateWorkArray<double>(N);
  weights = allocateWorkArray<double>(N);
  currentValues = allocateWorkArray<double>(N);
  nextValues = allocateWorkArray<double>(N);
  endValues = allocateWorkArray<double*>(N);
  for (int32_t i = 0; i < N; ++i) endValues[i] = allocateWorkArray<double>(NTRIP);
  neighborScratch = allocateWorkArray<NeighborEntry>(N);
  tripleSets = allocateWorkArray<TripleSet>(N);
  neighborLists = allocateWorkArray<NeighborList>(N);
  for (int32_t i = 0; i < N; ++i) {
    tripleSets[i].interiorCount = 0;
    tripleSets[i].endCount = 0;
    tripleSets[i].triples = allocateWorkArray<Triple>(NTRIP);
    neighborLists[i].owner = i;
    neighborLists[i].entries = allocateWorkArray<NeighborEntry>(N);
  }
}

}  // namespace

bool smoothRates(int32_t N, int32_t NN, int32_t NTRIP, int32_t NITER, double ThetaStar,
                 const char* workFileName, IgnoredRowList ignoredRows,
                 const char* missingText, const char* headerMark, std::FILE* log) {
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
  if (!loadPoints(N, NN, NTRIP, NITER, workFileName)) {
    freeWorkArrays(N);
    return false;
  }
  computeDistances(N, NN, NTRIP, NITER);
  sortNeighbors(N, NN, NTRIP, NITER);
  selectInteriorTriples(N, NN, NTRIP, NITER, ThetaStar);
  selectEndTriples(N, NN, NTRIP, NITER, ThetaStar);
  runIterations(N, NN, NTRIP, NITER, currentValues);
  writeResults(N, missingText, ignoredRows, headerMark, log);
  bool written = std::fflush(stdout) == 0 && !std::ferror(stdout);
  freeWorkArrays(N);
  return written;
}
