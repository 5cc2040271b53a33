// The state of one smoothing run: every work array the phases read and
// write, owned through unique_ptrs that release the blocks obtained from
// the caller's AllocationPolicy. A public Workspace owns one; allocate
// obtains the arrays in a fixed order (so a policy that reports zero-size
// requests reports them in that order) and release, or the destructor,
// gives them back. The worker count and the progress reporter are the
// workspace's, used by every phase of the run.
#ifndef TESSEL_ENGINE_WORK_ARRAYS_H_
#define TESSEL_ENGINE_WORK_ARRAYS_H_

#include <cstdint>
#include <memory>

#include "engine/allocation.h"
#include "engine/parallel.h"
#include "engine/progress.h"
#include "engine/records.h"
#include "tessel/tessel.h"

namespace tessel {

template <class T>
using Block = std::unique_ptr<T[], FreeBlock>;

struct WorkArrays {
  WorkArrays(AllocationPolicy& policy, int32_t workers, const ProgressHook& hook)
      : policy(policy), workers(workers), progress(hook) {}

  // Releases what an earlier call obtained, then obtains every array for N
  // points, in this order: pointCoords, rates, weights, currentValues,
  // nextValues, endValues (a table, then a row of 2 × NTRIP per point),
  // neighborScratch, tripleSets, neighborLists, then the triple rows and,
  // for the reference method, the neighbour rows (N entries each). A row
  // of size 0 is requested once per point. The fast method keeps no
  // neighbour rows: a point's list lives only while its triples are chosen
  // (findNeighborsAndSelectTriples), and it never touches neighborLists.
  // The sequence of requests is the same for every run of N points, for
  // the policy's sake; but a block no phase reads is never written, so
  // that its pages cost no memory: rates (no phase reads the rates after
  // loading: the values start from them), the endValues table (a row is
  // found by its position, endRow) and, in the fast method,
  // neighborScratch and neighborLists.
  void allocate(int32_t N, int32_t NN, int32_t NTRIP, Method method);

  // The zero-size requests allocate makes for the per-point rows of N
  // points: one per point for each row of length 0.
  static int64_t zeroSizeRowRequests(int32_t N, int32_t NN, int32_t NTRIP, Method method);

  // Releases every array.
  void release();

  // Point i as the caller gives it: both value arrays start at the rate.
  void loadPoint(int32_t i, double x, double y, double rate, double weight) {
    pointCoords[i] = {x, y};
    weights[i] = weight;
    currentValues[i] = rate;
    nextValues[i] = rate;
  }

  // Point i's row of end values: the extrapolated values of its end
  // triples, then their endFactor (endFactors(i)); null when NTRIP is 0.
  double* endRow(int32_t i) const {
    return endRows == nullptr ? nullptr : endRows.get() + int64_t{2} * NTRIP * i;
  }
  double* endFactors(int32_t i) const { return endRows == nullptr ? nullptr : endRow(i) + NTRIP; }
  // Point i's row of NTRIP triples (tripleSets[i] counts them); null when
  // NTRIP is 0.
  Triple* triples(int32_t i) const {
    return tripleRows == nullptr ? nullptr : tripleRows.get() + int64_t{NTRIP} * i;
  }

  // The triple rows' memory, which no phase touches before the search,
  // when it holds `bytes`; null otherwise. The work before the search may
  // use it as scratch: the pages it makes resident the search writes
  // anyway, and fresh pages cost more than reused ones.
  void* rowsBeforeSearch(size_t bytes) const {
    return tripleRows != nullptr && N > 0 && NTRIP > 0 &&
                   bytes <= size_t(N) * size_t(NTRIP) * sizeof(Triple)
               ? static_cast<void*>(tripleRows.get())
               : nullptr;
  }

  // body(begin, end, worker) over the points [0, n) on the workers, the
  // progress reporter told of the share done between chunks.
  template <class Body>
  void forEachPoint(int32_t n, Body body) {
    forEachChunk(n, kPointChunk, workers, body, [this](double done) { progress.report(done); });
  }

  AllocationPolicy& policy;
  const int32_t workers;
  ProgressReporter progress;

  Method method = Method::kFast;
  int32_t N = 0;
  int32_t NN = 0;  // neighbours per point: at most N - 1
  int32_t NTRIP = 0;
  int32_t listLength = 0;  // entries per neighbour list

  Block<PointCoord> pointCoords;  // N coordinates
  Block<double> rates;            // N observed rates (obtained, never written)
  Block<double> weights;          // N weights
  Block<double> currentValues;    // N values at the start of an iteration
  Block<double> nextValues;       // N values produced by an iteration
  // The table of N row pointers the sequence of requests has (never
  // written); the rows of 2 × NTRIP are endRow(i).
  Block<double*> endValues;
  Block<NeighborEntry> neighborScratch;  // N entries
  Block<TripleSet> tripleSets;           // N counts of triples(i)
  Block<NeighborList> neighborLists;     // N lists of listLength entries (reference)

  // The caller's diagnostics while a run that was asked for them lasts
  // (null otherwise): N entries each, in the run's order of the points
  // until the values go back to the caller's order. (The phases write
  // them in the order they treat the points, so that the records cost
  // no cache misses.)
  Diagnostics* diagnostics = nullptr;

 private:
  // The per-point rows come from one block per kind, carved into rows.
  Block<double> endRows;
  Block<Triple> tripleRows;
  Block<NeighborEntry> entryRows;
};

// Entries each list is given: min(NN, N - 1) + 1, or N for the reference
// method; 0 when N is 0.
int32_t neighborListLength(int32_t N, int32_t NN, Method method);

// The neighbour count a run of N points uses: NN is a maximum, and with
// fewer other points every point takes them all.
int32_t neighborCountFor(int32_t N, int32_t NN);

}  // namespace tessel

#endif  // TESSEL_ENGINE_WORK_ARRAYS_H_
