// Neighbour search: the full distance table and every point's list of all
// points by ascending distance.
#include <cmath>
#include <cstdint>

#include "engine/numerics.h"
#include "engine/phases.h"
#include "engine/sorting.h"
#include "engine/work_arrays.h"

namespace {

// Order of one list: ascending distance; at equal distance the owner first,
// then ascending point index. A distance that is not a number (from
// coordinates that are not finite) sorts after every number, so the order
// stays total and the result never depends on the sort.
struct NeighborOrder {
  int32_t owner;
  bool operator()(const NeighborEntry& a, const NeighborEntry& b) const {
    const bool aNan = std::isnan(a.distance);
    const bool bNan = std::isnan(b.distance);
    if (aNan != bNan) return bNan;
    if (!aNan) {
      if (a.distance < b.distance) return true;
      if (a.distance > b.distance) return false;
    }
    if (a.index == b.index) return false;
    if (a.index == owner) return true;
    if (b.index == owner) return false;
    return a.index < b.index;
  }
};

}  // namespace

void computeDistances(int32_t N, int32_t /*NN*/, int32_t /*NTRIP*/,
                      int32_t /*NITER*/) {
  for (int32_t i = 0; i < N; ++i) {
    NeighborEntry* own = neighborLists[i].entries;
    neighborLists[i].owner = i;
    own[i].index = i;
    own[i].distance = 0.0;
    // Each pair is measured once and stored in both lists, so the distance
    // from i to j equals the distance from j to i bit for bit.
    for (int32_t j = i + 1; j < N; ++j) {
      const double d = pointDistance(*pointCoords[i], *pointCoords[j]);
      own[j].index = j;
      own[j].distance = d;
      neighborLists[j].entries[i].index = i;
      neighborLists[j].entries[i].distance = d;
    }
  }
}

void sortNeighbors(int32_t N, int32_t /*NN*/, int32_t /*NTRIP*/,
                   int32_t /*NITER*/) {
  for (int32_t i = 0; i < N; ++i) {
    NeighborEntry* list = neighborLists[i].entries;
    for (int32_t k = 0; k < N; ++k) neighborScratch[k] = list[k];
    // The list itself, already copied out, serves as the merge scratch.
    mergeSort(neighborScratch, static_cast<size_t>(N), list,
              NeighborOrder{neighborLists[i].owner});
    for (int32_t k = 0; k < N; ++k) list[k] = neighborScratch[k];
  }
}
