// Neighbour search. The exhaustive search measures every pair and sorts
// every whole list: the reference. The nearest-neighbour search finds the
// same first entries of each list through a k-d tree, whose cost does not
// depend on how the points lie.
#include <algorithm>
#include <cstdint>

#include "engine/kd_tree.h"
#include "engine/neighbor_order.h"
#include "engine/parallel.h"
#include "engine/phases.h"
#include "engine/sorting.h"

void computeDistances(int32_t N, int32_t /*NN*/, int32_t /*NTRIP*/, int32_t /*NITER*/,
                      Workspace& ws) {
  const PointCoord* pointCoords = ws.pointCoords;
  NeighborList* neighborLists = ws.neighborLists;
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
  }
}

void sortNeighbors(int32_t N, int32_t /*NN*/, int32_t /*NTRIP*/, int32_t /*NITER*/,
                   Workspace& ws) {
  NeighborEntry* scratch = ws.neighborScratch;
  for (int32_t i = 0; i < N; ++i) {
    NeighborEntry* list = ws.neighborLists[i].entries;
    for (int32_t k = 0; k < N; ++k) scratch[k] = list[k];
    // The list itself, already copied out, serves as the merge scratch.
    mergeSort(scratch, static_cast<size_t>(N), list, NeighborOrder{ws.neighborLists[i].owner});
    for (int32_t k = 0; k < N; ++k) list[k] = scratch[k];
  }
}

void findNearestNeighbors(int32_t N, int32_t NN, int32_t /*NTRIP*/, int32_t /*NITER*/,
                          Workspace& ws) {
  if (N <= 0) return;
  // The coordinates are finite: the front end reads only plain decimals
  // within the double range, and library callers are refused others.
  const KdTree tree(ws.pointCoords, N);
  // The later phases visit the points in the tree's order, and each point's
  // rows lie at its place in that order.
  ws.visitOrder.assign(tree.order(), tree.order() + N);
  ws.placeRowsInOrder(ws.visitOrder.data());
  const int32_t count = std::min(std::max(NN, 0), N - 1) + 1;
  const int32_t* order = ws.visitOrder.data();
  NeighborList* neighborLists = ws.neighborLists;
  forEachPointRange(N, ws.workers, [&](int32_t begin, int32_t end, int32_t /*worker*/) {
    for (int32_t position = begin; position < end; ++position) {
      const int32_t owner = order[position];
      neighborLists[owner].owner = owner;
      tree.nearest(owner, count, neighborLists[owner].entries);
    }
  });
}
