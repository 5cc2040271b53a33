// A k-d tree over the points, for the neighbour search. Median splits keep
// its depth near log2 N on any layout (clusters, outliers, lines, lattices,
// coincident points), and a query returns exactly the first entries of the
// exhaustive order of neighbor_order.h, distances bit for bit. It also
// answers queries from any point of the plane (the k nearest distances, the
// points within a radius), measured as the search measures, for the
// public PointIndex. The tree owns copies of what it needs from the
// caller's coordinates, unless the caller hands it coordinates of its own
// in the tree's order to read instead (shareCoordinates); queries keep no
// state in it, so any number of threads may query at once.
#ifndef TESSEL_ENGINE_KD_TREE_H_
#define TESSEL_ENGINE_KD_TREE_H_

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

#include "engine/progress.h"
#include "engine/records.h"

namespace tessel {

class KdTree {
 public:
  // Builds the tree over coords[0..N) (point i at coords[i]) on up to
  // `workers` threads; the coordinates must be finite. Copies what it needs.
  // With a progress reporter, the calling thread reports its share of the
  // building to it, and a cancellation stops every thread's building.
  // `lent` (null, or at least lentBytes(N) bytes aligned for a double) is
  // memory the caller neither reads nor writes until shareCoordinates:
  // the tree builds in it and keeps its copy of the coordinates there
  // instead of taking memory of its own.
  KdTree(const PointCoord* coords, int32_t N, int32_t workers = 1,
         ProgressReporter* progress = nullptr, void* lent = nullptr);
  // The same over point i at (x[i], y[i]).
  KdTree(const double* x, const double* y, int32_t N, int32_t workers = 1);
  static size_t lentBytes(int32_t N);

  // The points in the tree's leaf order (N indices): points near each other
  // in the plane lie near each other in this order.
  const int32_t* order() const { return order_.get(); }
  // The coordinates of the point at leaf-order position k.
  const PointCoord& coordinates(int32_t k) const { return coords_[k]; }

  // From now on the tree reads its coordinates from renumbered[0..N), which
  // must hold coordinates(k) at k and outlive the tree, and releases its
  // own copy (or gives the lent memory back): a run that renumbers its
  // points in leaf order keeps them once.
  void shareCoordinates(const PointCoord* renumbered);

  // Fills list[0..count) for the point at leaf-order position `at` (0 <= at
  // < N, 1 <= count <= N) with exactly the first `count` entries of the
  // exhaustive order, the same distances bit for bit, each entry naming its
  // point by leaf-order position (point order()[entry.index]). Callers that
  // number the points in leaf order read the lists as they come, and the
  // query touches only points near the owner's.
  void nearest(int32_t at, int32_t count, NeighborEntry* list) const;

  // Queries from a point (x, y) of finite coordinates, one of the tree's or
  // not, with distances measured by pointDistance({x, y}, point).
  //
  // The up to `count` smallest distances (count >= 0) to the tree's points
  // other than point `excluded` (a point index, or -1 for none) that are at
  // most `bound`, ascending in out[0..); returns how many there are.
  int32_t nearestDistances(double x, double y, int32_t excluded, int32_t count, double bound,
                           double* out) const;
  // Appends to `found` the index of every point at a distance of at most
  // `radius`, in an order set by the tree and (x, y) alone.
  void within(double x, double y, double radius, std::vector<int32_t>& found) const;

  int32_t size() const { return size_; }
  // The bytes the tree holds.
  size_t memoryBytes() const;

 private:
  // A node covers the leaf-order positions [begin, end); a node of more
  // than kLeafSize points splits them at the middle, begin + (end - begin)
  // / 2, by the key (coordinate on `axis`, point index): the lower half has
  // coordinates <= split, the upper half >= split.
  struct Node {
    double split;
    int32_t minIndex;  // the smallest point index below the node
    int32_t axis;      // 0: x, 1: y
  };
  struct Point {
    PointCoord at;
    int32_t index;
  };
  class Query;
  class Gathering;
  class NearestFrom;
  class WithinFrom;

  // Hands `visitor` the leaves of the subtree of `node` (leaf positions
  // [begin, end)) that may hold a point it wants, the half on its query
  // point's side of each split first.
  template <class Visitor>
  void descend(Visitor& visitor, int32_t node, int32_t begin, int32_t end, double cornerX,
               double cornerY) const;

  // Builds the tree over point i at coordinatesOf(i).
  template <class CoordinatesOf>
  void build(CoordinatesOf coordinatesOf, int32_t workers, void* lent);
  // Builds the subtree of `node`; below `parallelLevels` levels its two
  // halves are built on their own threads.
  void build(int32_t node, int32_t begin, int32_t end, int32_t parallelLevels);
  // On the calling thread, tells the reporter that a leaf of `points`
  // points is done.
  void leafBuilt(int32_t points);

  int32_t size_ = 0;
  const PointCoord* coords_ = nullptr;       // N, in leaf order
  std::unique_ptr<PointCoord[]> ownCoords_;  // the tree's copy, until shared (unless lent)
  std::unique_ptr<int32_t[]> order_;         // the point at each leaf-order position
  std::vector<Node> nodes_;                  // implicit: the children of k are 2k+1, 2k+2

  // While building: the points with their indices, in leaf order once
  // built; the reporter, the thread it belongs to, the points the
  // leaves that thread builds hold, those built so far, and whether the
  // build is being abandoned.
  Point* points_ = nullptr;
  std::unique_ptr<Point[]> ownPoints_;  // points_, unless lent
  ProgressReporter* progress_ = nullptr;
  std::thread::id caller_;
  double callerPoints_ = 0.0;
  double callerBuilt_ = 0.0;
  std::atomic<bool> stopping_{false};
};

}  // namespace tessel

#endif  // TESSEL_ENGINE_KD_TREE_H_
