// The state of one smoothing run: every work array the phases read and
// write, owned by a Workspace that the caller creates and keeps for the
// run. allocateWorkArrays obtains the arrays through the caller's
// AllocationPolicy in a fixed order (so a policy that reports zero-size
// requests reports them in that order); the destructor, or an earlier
// freeWorkArrays, releases them. The worker count is settled when the
// workspace is made and used by every phase of the run.
#ifndef TESSEL_ENGINE_WORKSPACE_H_
#define TESSEL_ENGINE_WORKSPACE_H_

#include <cstdint>
#include <functional>

#include "engine/allocation.h"
#include "engine/records.h"

// The neighbour search a run uses: the nearest-neighbour search, or the
// exhaustive reference (every pair measured, every whole list sorted; N
// entries per list), kept to check the other against.
enum class NeighborSearch { kNearest, kExhaustive };

struct Workspace {
  // workers: the threads the phases may use; 0 or less for the hardware's.
  explicit Workspace(AllocationPolicy& policy, int32_t workers = 0);
  ~Workspace() { freeWorkArrays(); }
  Workspace(const Workspace&) = delete;
  Workspace& operator=(const Workspace&) = delete;

  // Obtains every array for N points, in this order: pointCoords, rates,
  // weights, currentValues, nextValues, endValues (a table, then a row of
  // 2 × NTRIP per point), neighborScratch, tripleSets, neighborLists, then the
  // triple rows and, for the exhaustive search, the neighbour rows. A row
  // of size 0 is requested once per point. Releases what a previous call
  // obtained first. The nearest-neighbour search keeps no rows: a point's
  // list lives only while its triples are chosen (findNeighborsAndSelectTriples),
  // and its neighborLists entry stays {point, null}.
  void allocateWorkArrays(int32_t N, int32_t NN, int32_t NTRIP, NeighborSearch search);

  // Releases every array; the pointers become null.
  void freeWorkArrays();

  // The endFactor of point i's end triples: the second half of its
  // endValues row.
  double* endFactors(int32_t i) const { return endValues[i] + NTRIP; }

  AllocationPolicy& policy;
  const int32_t workers;

  NeighborSearch search = NeighborSearch::kNearest;
  int32_t N = 0;
  int32_t NTRIP = 0;
  int32_t listLength = 0;  // entries per neighbour list

  PointCoord* pointCoords = nullptr;        // N coordinates
  double* rates = nullptr;                  // N observed rates
  double* weights = nullptr;                // N weights
  double* currentValues = nullptr;          // N values at the start of an iteration
  double* nextValues = nullptr;             // N values produced by an iteration
  // N rows of 2 × NTRIP: the extrapolated values of the point's end
  // triples, then their endFactor (endFactors(i)).
  double** endValues = nullptr;
  NeighborEntry* neighborScratch = nullptr;  // N entries
  TripleSet* tripleSets = nullptr;          // N sets of NTRIP triples
  NeighborList* neighborLists = nullptr;    // N lists of listLength entries (exhaustive search)

  // Called, when set, with a phase's name as smoothLoadedPoints finishes
  // it (the nearest search: "k-d tree", "renumbering", "search and
  // triples"; the exhaustive one: "search", "triples"; then "iterations",
  // "caller's order"); the benchmark times the phases by it.
  std::function<void(const char* phase)> phaseDone;

 private:
  // The per-point rows come from one block per kind, carved into rows.
  double* endRows = nullptr;
  Triple* tripleRows = nullptr;
  NeighborEntry* entryRows = nullptr;
};

// Entries each list is given: min(NN, N - 1) + 1, or N for the exhaustive
// search; 0 when N is 0.
int32_t neighborListLength(int32_t N, int32_t NN, NeighborSearch search);

#endif  // TESSEL_ENGINE_WORKSPACE_H_
