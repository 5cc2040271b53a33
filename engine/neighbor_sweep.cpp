// The fast run's neighbour search: each point's list from the k-d tree,
// into a list of its worker's, serves the point's triple selection at once.
#include <cstdint>
#include <vector>

#include "engine/kd_tree.h"
#include "engine/parallel.h"
#include "engine/phases.h"

namespace tessel {

void findNeighborsAndSelectTriples(int32_t N, int32_t NN, int32_t NTRIP, int32_t /*NITER*/,
                                   double ThetaStar, const KdTree& tree, WorkArrays& ws) {
  const int32_t count = neighborListLength(N, NN, Method::kFast);
  // One list per worker, reused from point to point.
  const size_t stride = static_cast<size_t>(workerStride<NeighborEntry>(count));
  std::vector<NeighborEntry> lists(stride * ws.workers);
  selectTriplesFrom(N, NN, NTRIP, ThetaStar, ws, [&](int32_t p, int32_t worker) {
    NeighborEntry* list = lists.data() + stride * worker;
    // The points are numbered in the tree's leaf order, as its lists are.
    tree.nearest(p, count, list);
    return static_cast<const NeighborEntry*>(list);
  });
}

}  // namespace tessel
