// The k-d tree of the neighbour search.
#include "engine/kd_tree.h"

#include <algorithm>
#include <limits>

#include "engine/allocation.h"
#include "engine/neighbor_order.h"
#include "engine/numerics.h"
#include "engine/parallel.h"
#include "engine/sorting.h"

namespace tessel {

namespace {

// Nodes of this many points or fewer are leaves.
constexpr int32_t kLeafSize = 16;

}  // namespace

size_t KdTree::lentBytes(int32_t N) {
  return static_cast<size_t>(N > 0 ? N : 0) * (sizeof(Point) + sizeof(PointCoord));
}

KdTree::KdTree(const PointCoord* coords, int32_t N, int32_t workers, ProgressReporter* progress,
               void* lent)
    : size_(N > 0 ? N : 0), progress_(progress), caller_(std::this_thread::get_id()) {
  build([coords](int32_t i) { return coords[i]; }, workers, lent);
}

KdTree::KdTree(const double* x, const double* y, int32_t N, int32_t workers)
    : size_(N > 0 ? N : 0), caller_(std::this_thread::get_id()) {
  build([x, y](int32_t i) { return PointCoord{x[i], y[i]}; }, workers, nullptr);
}

template <class CoordinatesOf>
void KdTree::build(CoordinatesOf coordinatesOf, int32_t workers, void* lent) {
  // The larger half of n points has n - n / 2, so all leaves lie within
  // `depth` levels of the root.
  int32_t depth = 0;
  for (int32_t n = size_; n > kLeafSize; n -= n / 2) ++depth;
  nodes_.resize((size_t{2} << depth) - 1);
  // Built over points that carry their index, then kept as two arrays in
  // leaf order: the coordinates, which every query reads, and the indices,
  // which only exact measures and ties read. Filled (and first touched) on
  // every worker.
  // Lent memory holds the points, then the copy of the coordinates after
  // them.
  PointCoord* copy = nullptr;
  if (lent != nullptr) {
    points_ = static_cast<Point*>(lent);
    copy = reinterpret_cast<PointCoord*>(points_ + size_);
  } else {
    ownPoints_.reset(new Point[static_cast<size_t>(size_)]);
    points_ = ownPoints_.get();
    adviseHugePageArray(points_, size_);
  }
  forEachPointRange(size_, workers, [&](int32_t begin, int32_t end, int32_t /*worker*/) {
    for (int32_t i = begin; i < end; ++i) {
      points_[static_cast<size_t>(i)] = {coordinatesOf(i), i};
    }
  });
  // Median splits give halves of equal size and work: splitting the
  // threads as often as there are pairs of workers keeps them all busy.
  int32_t parallelLevels = 0;
  while ((1 << parallelLevels) < workers) ++parallelLevels;
  callerPoints_ = static_cast<double>(size_) / (1 << parallelLevels);
  if (size_ > 0) build(0, 0, size_, parallelLevels);
  progress_ = nullptr;
  if (copy == nullptr) {
    ownCoords_.reset(new PointCoord[static_cast<size_t>(size_)]);
    copy = ownCoords_.get();
    adviseHugePageArray(copy, size_);
  }
  order_.reset(new int32_t[static_cast<size_t>(size_)]);
  adviseHugePageArray(order_.get(), size_);
  forEachPointRange(size_, workers, [&](int32_t begin, int32_t end, int32_t /*worker*/) {
    for (int32_t k = begin; k < end; ++k) {
      copy[k] = points_[static_cast<size_t>(k)].at;
      order_[static_cast<size_t>(k)] = points_[static_cast<size_t>(k)].index;
    }
  });
  ownPoints_.reset();
  points_ = nullptr;
  coords_ = copy;
}

void KdTree::shareCoordinates(const PointCoord* renumbered) {
  coords_ = renumbered;
  ownCoords_.reset();
}

void KdTree::leafBuilt(int32_t points) {
  if (progress_ == nullptr || std::this_thread::get_id() != caller_) return;
  callerBuilt_ += points;
  try {
    progress_->report(callerBuilt_ < callerPoints_ ? callerBuilt_ / callerPoints_ : 1.0);
  } catch (...) {
    stopping_.store(true, std::memory_order_relaxed);
    throw;
  }
}

void KdTree::build(int32_t node, int32_t begin, int32_t end, int32_t parallelLevels) {
  if (stopping_.load(std::memory_order_relaxed)) return;
  Node& n = nodes_[static_cast<size_t>(node)];
  Point* const points = points_;
  double minX = points[begin].at.x, maxX = minX, minY = points[begin].at.y, maxY = minY;
  int32_t minIndex = points[begin].index;
  for (int32_t k = begin + 1; k < end; ++k) {
    minX = std::min(minX, points[k].at.x);
    maxX = std::max(maxX, points[k].at.x);
    minY = std::min(minY, points[k].at.y);
    maxY = std::max(maxY, points[k].at.y);
    minIndex = std::min(minIndex, points[k].index);
  }
  n.minIndex = minIndex;
  if (end - begin <= kLeafSize) {
    leafBuilt(end - begin);
    return;
  }
  // Split across the wider side; points that share the coordinate are
  // split by index, so coincident points still halve.
  n.axis = Extended(maxX) - minX >= Extended(maxY) - minY ? 0 : 1;
  const int32_t middle = begin + (end - begin) / 2;
  const bool onY = n.axis == 1;
  selectNth(points + begin, end - begin, middle - begin, [onY](const Point& a, const Point& b) {
    const double ca = onY ? a.at.y : a.at.x;
    const double cb = onY ? b.at.y : b.at.x;
    return (ca < cb) | ((ca == cb) & (a.index < b.index));
  });
  n.split = onY ? points[middle].at.y : points[middle].at.x;
  // A split of many points is long work too: the hook hears of it (with
  // the leaves' share so far), so that a stop is not held up by the top
  // levels' splits.
  if (end - begin >= (1 << 16)) leafBuilt(0);
  if (parallelLevels == 0) {
    build(2 * node + 1, begin, middle, 0);
    build(2 * node + 2, middle, end, 0);
    return;
  }
  // Each half on its own thread; the nodes and points of the two are apart.
  forEachChunk(2, 1, 2, [&](int32_t half, int32_t /*end*/, int32_t /*worker*/) {
    if (half == 0) {
      build(2 * node + 1, begin, middle, parallelLevels - 1);
    } else {
      build(2 * node + 2, middle, end, parallelLevels - 1);
    }
  });
}

namespace {

// A squared distance that surely lies beyond every exact squared distance
// whose plain double approximation is at most `squared`, and beyond every
// approximation of a squared distance the exact one of which is at most
// `squared`: approximations lie within a relative 1e-15 and, for underflow,
// an absolute 1e-300 of the exact value. Infinite when that overflows.
double reachOf(double squared) {
  return (squared * (1.0 + 1e-12) + 1e-300) * (1.0 + 1e-12) + 1e-300;
}

// The plain double squared distance of (x, y) from p, the approximation
// every query compares against its reach. For a point beyond a split it is
// at least that of the split's coordinate.
inline double approximate(const PointCoord& p, double x, double y) {
  const double dx = x - p.x;
  const double dy = y - p.y;
  return dx * dx + dy * dy;
}

}  // namespace

// One query. The list holds the `filled` nearest points found so far, in
// the exhaustive order, the owner first; its entries name points by leaf
// position, and ties compare the points' own indices. The search goes down
// to p's leaf and climbs back to the root, visiting at each level the other
// half when it may hold a point of the answer. Points and nodes are first compared in
// plain double arithmetic against `reach`, beyond which they are surely
// farther than the answer; only the rest is measured exactly.
class KdTree::Query {
 public:
  Query(const KdTree& tree, int32_t at, int32_t count, NeighborEntry* list)
      : tree(tree), at(at), count(count), list(list), p(tree.coords_[at]) {}

  void run() {
    list[0] = {at, 0.0};
    if (count == 1) return;
    // Down to p's leaf; on a split equal to p's coordinate into the lower
    // half, which holds the lower indices of the points on the split.
    struct Level {
      int32_t node, begin, middle, end;
      bool upper;  // p's half
    };
    Level path[64];
    int32_t depth = 0;
    int32_t node = 0, begin = 0, end = tree.size_;
    while (end - begin > kLeafSize) {
      const Node& n = tree.nodes_[static_cast<size_t>(node)];
      const int32_t middle = begin + (end - begin) / 2;
      const bool upper = (n.axis == 1 ? p.y : p.x) > n.split;
      path[depth++] = {node, begin, middle, end, upper};
      if (upper) {
        node = 2 * node + 2;
        begin = middle;
      } else {
        node = 2 * node + 1;
        end = middle;
      }
    }
    visit(node, begin, end, p.x, p.y);
    // Back up, visiting the other halves. p lies on its own half's side of
    // every split above, so only this split separates it from the other.
    while (depth > 0) {
      const Level& up = path[--depth];
      const Node& n = tree.nodes_[static_cast<size_t>(up.node)];
      const double splitX = n.axis == 1 ? p.x : n.split;
      const double splitY = n.axis == 1 ? n.split : p.y;
      const int32_t other = 2 * up.node + (up.upper ? 1 : 2);
      if (pruned(splitX, splitY, tree.nodes_[static_cast<size_t>(other)].minIndex)) continue;
      if (up.upper) {
        visit(other, up.begin, up.middle, splitX, splitY);
      } else {
        visit(other, up.middle, up.end, splitX, splitY);
      }
    }
  }

 private:
  // Visits the node whose points all lie on the far side of splitX from p
  // along x and of splitY along y (a split equal to p's coordinate bounds
  // nothing along its axis).
  void visit(int32_t node, int32_t begin, int32_t end, double splitX, double splitY) {
    if (end - begin <= kLeafSize) {
      // The points within reach are measured first, then offered, so that
      // their measures need not wait for one another. Behind a last entry
      // at distance 0 only higher indices follow: points that coincide with
      // p need no measuring.
      const bool zeroLast = filled == count && list[count - 1].distance == 0.0;
      NeighborEntry found[kLeafSize];
      int32_t foundCount = 0;
      for (int32_t k = begin; k < end; ++k) {
        const PointCoord& q = tree.coords_[k];
        if (approximate(p, q.x, q.y) > reach || k == at) continue;
        if (zeroLast && tree.order_[k] > indexOf(list[count - 1])) continue;
        found[foundCount++] = {k, 0.0};
      }
      for (int32_t f = 0; f < foundCount; ++f) {
        const int32_t k = found[f].index;
        found[f].distance = pointDistance(p, tree.coords_[k]);
      }
      for (int32_t f = 0; f < foundCount; ++f) offer(found[f]);
      return;
    }
    const Node& n = tree.nodes_[static_cast<size_t>(node)];
    const int32_t middle = begin + (end - begin) / 2;
    // The half on p's side first; on the plane the lower half, which holds
    // the lower indices of points sharing the split coordinate.
    const bool upperFirst = (n.axis == 1 ? p.y : p.x) > n.split;
    if (upperFirst) {
      visit(2 * node + 2, middle, end, splitX, splitY);
    } else {
      visit(2 * node + 1, begin, middle, splitX, splitY);
    }
    if (n.axis == 1) {
      splitY = n.split;
    } else {
      splitX = n.split;
    }
    const int32_t far = upperFirst ? 2 * node + 1 : 2 * node + 2;
    if (pruned(splitX, splitY, tree.nodes_[static_cast<size_t>(far)].minIndex)) return;
    if (upperFirst) {
      visit(far, begin, middle, splitX, splitY);
    } else {
      visit(far, middle, end, splitX, splitY);
    }
  }

  // True when no point beyond these splits, of this smallest index, can
  // enter the list: it lies beyond the reach, or the list is full and its
  // distance is at least the exact bound, and at the last entry's distance
  // its index is higher. The exact bound is the splits' distance measured
  // as every distance is, so it never exceeds the exact distance of any
  // point beyond the splits.
  bool pruned(double splitX, double splitY, int32_t minIndex) const {
    if (approximate(p, splitX, splitY) > reach) return true;
    if (filled < count) return false;
    const NeighborEntry& last = list[count - 1];
    const int32_t lastIndex = indexOf(last);
    if (last.distance == 0.0 && minIndex > lastIndex) return true;  // coincident points
    const double bound = pointDistance({splitX, splitY}, p);
    return bound > last.distance || (bound == last.distance && minIndex > lastIndex);
  }

  // The order of the list's entries after the owner's: finite coordinates
  // give no distance that is not a number, so this is the order of
  // neighbor_order.h between two points other than the owner.
  bool before(const NeighborEntry& a, const NeighborEntry& b) const {
    return a.distance < b.distance || (a.distance == b.distance && indexOf(a) < indexOf(b));
  }

  // The point index of an entry.
  int32_t indexOf(const NeighborEntry& entry) const { return tree.order_[entry.index]; }

  // Inserts a measured entry when it belongs to the list; once the list is
  // full, its last entry sets the reach.
  void offer(const NeighborEntry& entry) {
    if (filled == count) {
      if (!before(entry, list[count - 1])) return;
    } else {
      ++filled;
    }
    // The owner at 0 precedes every other entry.
    int32_t k = filled - 1;
    while (k > 1 && before(entry, list[k - 1])) {
      list[k] = list[k - 1];
      --k;
    }
    list[k] = entry;
    if (filled == count) {
      const double last = list[count - 1].distance;
      reach = std::min(reach, reachOf(last * last));
    }
  }

  const KdTree& tree;
  const int32_t at;  // the owner's leaf position
  const int32_t count;
  NeighborEntry* const list;
  const PointCoord p;
  int32_t filled = 1;
  double reach = std::numeric_limits<double>::infinity();
};

// The sweep's query: the same list as Query's, found in two rounds. The
// first works in plain double squared distances alone (approximations): it
// keeps the `need` = count - 1 smallest approximations seen so far and
// gathers every point within reachOf of the largest of them. The second
// measures the gathered points exactly, sorts them in the list's order and
// keeps the first `need`.
//
// Why no point of the list is missed: let s be the need-th smallest
// approximation over all the other points. Approximations lie within a
// relative 1e-15 and an absolute 1e-300 of the exact squared distance, and
// a measure (squared distance summed in extended precision, rounded to
// double, rounded square root) squared lies within a relative 1e-15 of it
// too. So the need points approximated at most s measure at most
// sqrt(s (1 + 3e-15) + 2e-300), the list's last distance is at most the
// largest of their measures, and every point of the list measures at most
// that; its approximation is then at most reachOf(s), whose margins are
// 1e-12 and 1e-300 twice. While gathering, the largest of the need
// smallest approximations seen is >= s and reachOf is monotone, so what is
// skipped for lying beyond its reach lies beyond reachOf(s) too (a node by
// a corner no farther along either axis than any of its points, as in
// Query). The gathered points thus include all within reachOf(s), among
// them the list, and the first `need` of them in the list's order are the
// list's. Coincident points (a need-th smallest approximation of 0) and
// other crowds of equal approximations would gather without bound: those
// queries go to Query, which breaks such ties by index as it walks.
class KdTree::Gathering {
 public:
  // The most `need` this query takes; larger ones go to Query (at NN 100
  // the rescans for the largest cost more than the exact measures saved).
  static constexpr int32_t kMostNeeded = 32;

  Gathering(const KdTree& tree, int32_t at, int32_t count)
      : tree(tree), at(at), need(count - 1), p(tree.coords_[at]) {}

  // Fills list[0..count) and returns true, or returns false having given up.
  bool run(NeighborEntry* list) {
    struct Level {
      int32_t node, begin, middle, end;
      bool upper;
    };
    Level path[64];
    int32_t depth = 0;
    int32_t node = 0, begin = 0, end = tree.size_;
    while (end - begin > kLeafSize) {
      const int32_t middle = begin + (end - begin) / 2;
      const bool upper = at >= middle;
      path[depth++] = {node, begin, middle, end, upper};
      if (upper) {
        node = 2 * node + 2;
        begin = middle;
      } else {
        node = 2 * node + 1;
        end = middle;
      }
    }
    leaf(begin, end);
    // Back up: p lies in its own half at every level above, so on its side
    // of the split, which alone separates it from the other half.
    while (depth > 0 && !givenUp) {
      const Level& up = path[--depth];
      const Node& n = tree.nodes_[static_cast<size_t>(up.node)];
      const double splitX = n.axis == 1 ? p.x : n.split;
      const double splitY = n.axis == 1 ? n.split : p.y;
      if (approximate(p, splitX, splitY) > reach) continue;
      if (up.upper) {
        visit(2 * up.node + 1, up.begin, up.middle, splitX, splitY);
      } else {
        visit(2 * up.node + 2, up.middle, up.end, splitX, splitY);
      }
    }
    if (givenUp || bestCount < need) return false;
    // The second round.
    struct Measured {
      double distance;
      int32_t index, at;
    };
    Measured measured[kRoom];
    int32_t m = 0;
    // The gathered points within the final reach, picked without a branch
    // on their distances, then measured.
    int32_t picked[kRoom];
    int32_t n = 0;
    for (int32_t c = 0; c < size; ++c) {
      picked[n] = gathered[c].at;
      n += !(gathered[c].approximate > reach);
    }
    for (int32_t c = 0; c < n; ++c) {
      const int32_t k = picked[c];
      const int32_t index = tree.order_[k];
      measured[m++] = {pointDistance(p, tree.coords_[k]), index, k};
    }
    // In the list's order: a dozen or so, the usual count, by rank of
    // their distances, then equal distances put in index order by an
    // insertion sort that finds them all but in place.
    auto before = [](const Measured& a, const Measured& b) {
      return a.distance < b.distance || (a.distance == b.distance && a.index < b.index);
    };
    auto distanceOf = [](const Measured& e) { return e.distance; };
    if (sortByRank(measured, static_cast<size_t>(m), distanceOf)) {
      insertionSort(measured, static_cast<size_t>(m), before);
    } else {
      std::sort(measured, measured + m, before);
    }
    list[0] = {at, 0.0};
    for (int32_t k = 0; k < need; ++k) list[k + 1] = {measured[k].at, measured[k].distance};
    return true;
  }

 private:
  static constexpr int32_t kRoom = 4 * kMostNeeded;

  // Visits the node whose points all lie at least as far from p along x
  // as splitX and along y as splitY.
  void visit(int32_t node, int32_t begin, int32_t end, double splitX, double splitY) {
    if (end - begin <= kLeafSize) {
      leaf(begin, end);
      return;
    }
    const Node& n = tree.nodes_[static_cast<size_t>(node)];
    const int32_t middle = begin + (end - begin) / 2;
    const bool upperFirst = (n.axis == 1 ? p.y : p.x) > n.split;
    if (upperFirst) {
      visit(2 * node + 2, middle, end, splitX, splitY);
    } else {
      visit(2 * node + 1, begin, middle, splitX, splitY);
    }
    if (givenUp) return;
    // The far half lies beyond the split from p (a split equal to p's
    // coordinate bounds nothing).
    if (n.axis == 1) {
      splitY = n.split;
    } else {
      splitX = n.split;
    }
    if (approximate(p, splitX, splitY) > reach) return;
    if (upperFirst) {
      visit(2 * node + 1, begin, middle, splitX, splitY);
    } else {
      visit(2 * node + 2, middle, end, splitX, splitY);
    }
  }

  // Gathers the leaf's points within the reach it had on entry without a
  // branch on their distances, then updates the best from those alone: a
  // point the updates put beyond the reach stays gathered and is dropped in
  // the second round.
  void leaf(int32_t begin, int32_t end) {
    if (size + (end - begin) > kRoom && !compact()) return;
    const int32_t first = size;
    for (int32_t k = begin; k < end; ++k) {
      const PointCoord& q = tree.coords_[k];
      const double a = approximate(p, q.x, q.y);
      gathered[size] = {a, k};
      size += !(a > reach) & (k != at);
    }
    for (int32_t c = first; c < size; ++c) {
      const double a = gathered[c].approximate;
      if (bestCount < need) {
        best[bestCount++] = a;
        if (bestCount < need) continue;
      } else if (a < best[worst]) {
        best[worst] = a;
      } else {
        continue;
      }
      // best holds the need smallest so far, unordered: find the largest,
      // by a scan whose steps do not branch on the values.
      worst = 0;
      double largest = best[0];
      for (int32_t b = 1; b < need; ++b) {
        const bool larger = best[b] > largest;
        largest = larger ? best[b] : largest;
        worst = larger ? b : worst;
      }
      if (best[worst] == 0.0) {
        givenUp = true;
        return;
      }
      reach = reachOf(best[worst]);
    }
  }

  // Drops the gathered points beyond the reach; false (given up) when
  // they still fill more than half the room.
  bool compact() {
    int32_t kept = 0;
    for (int32_t c = 0; c < size; ++c) {
      if (gathered[c].approximate <= reach) gathered[kept++] = gathered[c];
    }
    size = kept;
    givenUp = size > kRoom / 2;
    return !givenUp;
  }

  struct Candidate {
    double approximate;
    int32_t at;
  };
  const KdTree& tree;
  const int32_t at;
  const int32_t need;
  const PointCoord p;
  double reach = std::numeric_limits<double>::infinity();
  bool givenUp = false;
  int32_t bestCount = 0;
  int32_t worst = 0;  // where the largest of best is, once it is full
  int32_t size = 0;
  double best[kMostNeeded];
  Candidate gathered[kRoom];
};

void KdTree::nearest(int32_t at, int32_t count, NeighborEntry* list) const {
  if (count > 1 && count - 1 <= Gathering::kMostNeeded && Gathering(*this, at, count).run(list)) {
    return;
  }
  Query(*this, at, count, list).run();
}

// Queries from any point q of the plane. The search walks down from the
// root with a corner: a point whose distance from q along each axis is at
// most that of every point of the node, as the splits the walk crossed
// bound them. The measure of a distance grows with |dx| and with |dy| (each
// of its roundings is monotone), so the corner's measure is at most that of
// every point of the node: a node whose corner is measured beyond the
// query's limit holds no point within it. Plain double squared distances
// beyond the reach of the limit are surely beyond it too (reachOf), which
// spares most measures.
template <class Visitor>
void KdTree::descend(Visitor& visitor, int32_t node, int32_t begin, int32_t end, double cornerX,
                     double cornerY) const {
  if (visitor.beyond(cornerX, cornerY)) return;
  if (end - begin <= kLeafSize) {
    visitor.leaf(begin, end);
    return;
  }
  const Node& n = nodes_[static_cast<size_t>(node)];
  const int32_t middle = begin + (end - begin) / 2;
  // The points of the far half lie beyond the split from q along its axis;
  // on a split equal to q's coordinate that bounds nothing.
  double farX = cornerX, farY = cornerY;
  (n.axis == 1 ? farY : farX) = n.split;
  if ((n.axis == 1 ? visitor.y : visitor.x) > n.split) {
    descend(visitor, 2 * node + 2, middle, end, cornerX, cornerY);
    descend(visitor, 2 * node + 1, begin, middle, farX, farY);
  } else {
    descend(visitor, 2 * node + 1, begin, middle, cornerX, cornerY);
    descend(visitor, 2 * node + 2, middle, end, farX, farY);
  }
}

namespace {

// What both queries from a point share: the point, and the test of a
// position against a limit on the measured distance.
struct From {
  From(double x, double y) : x(x), y(y) {}

  double approximate(double px, double py) const { return tessel::approximate({x, y}, px, py); }
  double measure(double px, double py) const { return pointDistance({x, y}, {px, py}); }

  // Sets the limit: measures above it are not wanted.
  void limitTo(double distance) {
    limit = distance;
    reach = reachOf(distance * distance);
  }
  // True when every point at least as far from q along each axis as (px,
  // py) is surely measured beyond the limit (always, for a limit that is
  // not a number).
  bool beyond(double px, double py) const {
    return approximate(px, py) > reach || !(measure(px, py) <= limit);
  }

  const double x, y;
  double limit = 0.0;
  double reach = 0.0;
};

}  // namespace

class KdTree::NearestFrom : public From {
 public:
  NearestFrom(const KdTree& tree, double x, double y, int32_t excluded, int32_t count, double bound,
              double* out)
      : From(x, y), tree(tree), excluded(excluded), count(count), out(out) {
    limitTo(bound);
  }

  // The list is kept as a max-heap until the end.
  int32_t run() {
    if (count > 0 && tree.size_ > 0) tree.descend(*this, 0, 0, tree.size_, x, y);
    std::sort_heap(out, out + filled);
    return filled;
  }

  void leaf(int32_t begin, int32_t end) {
    for (int32_t k = begin; k < end; ++k) {
      const PointCoord& p = tree.coords_[k];
      if (approximate(p.x, p.y) > reach || tree.order_[k] == excluded) continue;
      const double d = measure(p.x, p.y);
      // A distance equal to a full list's largest changes no distance.
      if (!(d <= limit) || (filled == count && d == limit)) continue;
      if (filled == count) {
        std::pop_heap(out, out + filled);
        out[filled - 1] = d;
      } else {
        out[filled++] = d;
      }
      std::push_heap(out, out + filled);
      if (filled == count) limitTo(out[0]);
    }
  }

 private:
  const KdTree& tree;
  const int32_t excluded;
  const int32_t count;
  double* const out;
  int32_t filled = 0;
};

class KdTree::WithinFrom : public From {
 public:
  WithinFrom(const KdTree& tree, double x, double y, double radius, std::vector<int32_t>& found)
      : From(x, y), tree(tree), found(found) {
    limitTo(radius);
  }

  void run() {
    if (tree.size_ > 0) tree.descend(*this, 0, 0, tree.size_, x, y);
  }

  void leaf(int32_t begin, int32_t end) {
    for (int32_t k = begin; k < end; ++k) {
      const PointCoord& p = tree.coords_[k];
      if (approximate(p.x, p.y) > reach) continue;
      if (measure(p.x, p.y) <= limit) found.push_back(tree.order_[k]);
    }
  }

 private:
  const KdTree& tree;
  std::vector<int32_t>& found;
};

int32_t KdTree::nearestDistances(double x, double y, int32_t excluded, int32_t count, double bound,
                                 double* out) const {
  return NearestFrom(*this, x, y, excluded, count, bound, out).run();
}

void KdTree::within(double x, double y, double radius, std::vector<int32_t>& found) const {
  WithinFrom(*this, x, y, radius, found).run();
}

size_t KdTree::memoryBytes() const {
  const size_t own = ownCoords_ == nullptr ? 0 : sizeof(PointCoord);
  return sizeof(*this) + static_cast<size_t>(size_) * (own + sizeof(int32_t)) +
         nodes_.capacity() * sizeof(Node);
}

}  // namespace tessel
