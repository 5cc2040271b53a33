// The exhaustive neighbour search: every pair measured, every whole list
// sorted. The reference the k-d tree's lists are checked against.
#include <cstdint>

#include "engine/neighbor_order.h"
#include "engine/numerics.h"
#include "engine/phases.h"
#include "engine/sorting.h"

namespace tessel {

void computeDistances(int32_t N, int32_t /*NN*/, int32_t /*NTRIP*/, int32_t /*NITER*/,
                      WorkArrays& ws) {
  const PointCoord* pointCoords = ws.pointCoords.get();
  NeighborList* neighborLists = ws.neighborLists.get();
  for (int32_t i = 0; i < N; ++i) {
    NeighborEntry* own = neighborLists[i].entries;
    neighborLists[i].owner = i;
    own[i].index = i;
    own[i].distance = 0.0;
    // Each pair is measured once and stored in both lists, so the distance
    // from i to j equals the distance from j to i bit for bit.
    for (int32_t j = i + 1; j < N; ++j) {
      const double d = pointDistance(pointCoords[i], pointCoords[j]);
      own[j].index = j;
      own[j].distance = d;
      neighborLists[j].entries[i].index = i;
      neighborLists[j].entries[i].distance = d;
    }
    // Rows shorten as i grows: the share done is that of the pairs.
    const double left = static_cast<double>(N - 1 - i);
    ws.progress.report(1.0 - left * left / (static_cast<double>(N) * N));
  }
}

void sortNeighbors(int32_t N, int32_t /*NN*/, int32_t /*NTRIP*/, int32_t /*NITER*/,
                   WorkArrays& ws) {
  NeighborEntry* scratch = ws.neighborScratch.get();
  for (int32_t i = 0; i < N; ++i) {
    NeighborEntry* list = ws.neighborLists[i].entries;
    for (int32_t k = 0; k < N; ++k) scratch[k] = list[k];
    // The list itself, already copied out, serves as the merge scratch.
    mergeSort(scratch, static_cast<size_t>(N), list, NeighborOrder{ws.neighborLists[i].owner});
    for (int32_t k = 0; k < N; ++k) list[k] = scratch[k];
    ws.progress.report(static_cast<double>(i + 1) / N);
  }
}

}  // namespace tessel
