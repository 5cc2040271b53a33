// Neighbour search. The exhaustive search measures every pair and sorts
// every whole list; the grid search finds the same first entries of each
// list through a uniform grid and measures only the nearest few exactly.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "engine/huge_pages.h"
#include "engine/neighbor_order.h"
#include "engine/numerics.h"
#include "engine/parallel.h"
#include "engine/phases.h"
#include "engine/sorting.h"
#include "engine/work_arrays.h"

namespace {

// The points in the grid's order, for the later phases to visit.
std::vector<int32_t> gridOrder;

constexpr double kInfinity = std::numeric_limits<double>::infinity();

// A uniform grid of about one point per cell over the points' bounding box.
// A point's cell coordinate along x is u = (x - minX) * scale; the cell
// column is u rounded down and clamped to the grid. Computed u is monotone
// in x, so a block of columns holds every point whose u lies inside it.
// The points are listed cell by cell, in ascending index within a cell:
// their indices in neighborScratch, their coordinates in coords.
struct Grid {
  double minX = 0.0;
  double minY = 0.0;
  double scale = 0.0;  // cell units per coordinate unit; 0: a single cell
  int32_t cols = 1;
  int32_t rows = 1;
  double slack = 0.0;  // bound on the rounding of u and v, in cell units
  std::vector<int32_t> cellStart;  // cols * rows + 1 offsets
  std::vector<PointCoord> coords;

  double u(double x) const { return (x - minX) * scale; }
  double v(double y) const { return (y - minY) * scale; }
  static int32_t cellOf(double w, int32_t count) {
    if (!(w >= 1.0)) return 0;
    if (w >= static_cast<double>(count - 1)) return count - 1;
    return static_cast<int32_t>(w);
  }
  int32_t column(double x) const { return cellOf(u(x), cols); }
  int32_t row(double y) const { return cellOf(v(y), rows); }
};

void sizeGrid(Grid& grid, int32_t N) {
  double minX = kInfinity, maxX = -kInfinity, minY = kInfinity, maxY = -kInfinity;
  for (int32_t i = 0; i < N; ++i) {
    minX = std::min(minX, pointCoords[i]->x);
    maxX = std::max(maxX, pointCoords[i]->x);
    minY = std::min(minY, pointCoords[i]->y);
    maxY = std::max(maxY, pointCoords[i]->y);
  }
  grid.minX = minX;
  grid.minY = minY;
  const double width = maxX - minX;
  const double height = maxY - minY;
  const double longer = std::max(width, height);
  // Anything this grid cannot measure (a span that overflows or vanishes)
  // leaves one cell: every search then looks at every point.
  if (!(longer > 0.0) || !std::isfinite(longer)) return;
  const double cells = static_cast<double>(N);
  double side = std::sqrt(width * height / cells);
  side = std::max(side, longer / cells);
  const double scale = 1.0 / side;
  if (!std::isfinite(scale) || !(scale > 0.0)) return;
  const double cols = std::floor(width * scale) + 1.0;
  const double rows = std::floor(height * scale) + 1.0;
  if (!(cols * rows <= 4.0 * cells + 4.0)) return;
  grid.scale = scale;
  grid.cols = static_cast<int32_t>(cols);
  grid.rows = static_cast<int32_t>(rows);
  grid.slack = 1e-9 + 1e-14 * (cols + rows);
}

void buildGrid(Grid& grid, int32_t N) {
  sizeGrid(grid, N);
  const size_t cellCount = static_cast<size_t>(grid.cols) * static_cast<size_t>(grid.rows);
  std::vector<int32_t> cellOfPoint;
  resizeOnHugePages(cellOfPoint, static_cast<size_t>(N));
  forEachPointRange(N, [&](int32_t begin, int32_t end, int32_t /*worker*/) {
    for (int32_t i = begin; i < end; ++i) {
      cellOfPoint[static_cast<size_t>(i)] =
          grid.row(pointCoords[i]->y) * grid.cols + grid.column(pointCoords[i]->x);
    }
  });
  resizeOnHugePages(grid.cellStart, cellCount + 1);
  for (int32_t i = 0; i < N; ++i) {
    ++grid.cellStart[static_cast<size_t>(cellOfPoint[static_cast<size_t>(i)]) + 1];
  }
  for (size_t c = 0; c < cellCount; ++c) grid.cellStart[c + 1] += grid.cellStart[c];
  std::vector<int32_t> fill;
  resizeOnHugePages(fill, cellCount);
  std::copy(grid.cellStart.begin(), grid.cellStart.end() - 1, fill.begin());
  resizeOnHugePages(grid.coords, static_cast<size_t>(N));
  for (int32_t i = 0; i < N; ++i) {
    const int32_t position = fill[static_cast<size_t>(cellOfPoint[static_cast<size_t>(i)])]++;
    neighborScratch[position].index = i;
    neighborScratch[position].distance = 0.0;
    grid.coords[static_cast<size_t>(position)] = *pointCoords[i];
  }
}

// A point met by a search: its squared distance from the searching point in
// plain double arithmetic (within a few units of rounding of the exact one)
// and its place in the grid's list.
struct Candidate {
  double approximate;
  int32_t position;
};

// One worker's search state, reused from point to point.
class NearestSearch {
 public:
  NearestSearch(const Grid& grid, int32_t count) : grid(grid), count(count) {
    // Start with a block that usually holds the count nearest already.
    const double density = static_cast<double>(grid.coords.size()) /
                           (static_cast<double>(grid.cols) * grid.rows);
    const double radius = std::sqrt(static_cast<double>(count) / (3.14159 * density));
    startRadius = std::max<int32_t>(1, static_cast<int32_t>(std::min(radius + 0.5, 1e6)));
  }

  // Fills list[0..count) of the point at grid position `position`.
  void run(int32_t position, NeighborEntry* list) {
    const int32_t owner = neighborScratch[position].index;
    const PointCoord p = grid.coords[static_cast<size_t>(position)];
    const double u = grid.u(p.x);
    const double v = grid.v(p.y);
    const int32_t cx = Grid::cellOf(u, grid.cols);
    const int32_t cy = Grid::cellOf(v, grid.rows);
    candidates.clear();
    int32_t r = startRadius;
    addBlock(p, cx, cy, r);
    double threshold = kInfinity;
    for (;;) {
      const bool left = cx - r <= 0, right = cx + r >= grid.cols - 1;
      const bool below = cy - r <= 0, above = cy + r >= grid.rows - 1;
      if (candidates.size() >= static_cast<size_t>(count)) {
        threshold = countThSmallest();
        if (left && right && below && above) break;
        // Every point outside the block is at least `reach` away; every
        // point that could be among the nearest lies within `needed`.
        double gap = kInfinity;
        if (!left) gap = std::min(gap, u - (cx - r));
        if (!right) gap = std::min(gap, (cx + r + 1) - u);
        if (!below) gap = std::min(gap, v - (cy - r));
        if (!above) gap = std::min(gap, (cy + r + 1) - v);
        const double reach = (gap - grid.slack) / grid.scale * (1.0 - 1e-12);
        const double needed = std::sqrt(threshold * (1.0 + 1e-12) + 1e-300) * (1.0 + 1e-12);
        if (needed < reach) break;
      } else if (left && right && below && above) {
        break;  // cannot happen: count never exceeds the number of points
      }
      ++r;
      addRing(p, cx, cy, r);
    }
    // Points whose exact distance can reach the count-th smallest: measure
    // them as the exhaustive search does and keep the first count in order.
    const double limit = threshold * (1.0 + 1e-12) + 1e-300;
    picked.clear();
    for (const Candidate& c : candidates) {
      if (!(c.approximate <= limit)) continue;
      const int32_t j = neighborScratch[c.position].index;
      const PointCoord& q = grid.coords[static_cast<size_t>(c.position)];
      picked.push_back({j, j == owner ? 0.0 : pairDistance(owner, p, j, q)});
    }
    // The order is total (no two entries share an index), so any sort
    // gives the same first entries.
    const size_t kept = std::min(picked.size(), static_cast<size_t>(count));
    if (picked.size() <= kInsertionSortLimit * 4) {
      insertionSort(picked.data(), picked.size(), NeighborOrder{owner});
    } else {
      std::partial_sort(picked.begin(), picked.begin() + static_cast<std::ptrdiff_t>(kept),
                        picked.end(), NeighborOrder{owner});
    }
    for (size_t k = 0; k < kept; ++k) list[k] = picked[k];
  }

 private:
  void addCell(const PointCoord& p, int32_t x, int32_t y) {
    const size_t cell = static_cast<size_t>(y) * static_cast<size_t>(grid.cols) +
                        static_cast<size_t>(x);
    const int32_t end = grid.cellStart[cell + 1];
    for (int32_t k = grid.cellStart[cell]; k < end; ++k) {
      const PointCoord& q = grid.coords[static_cast<size_t>(k)];
      const double dx = q.x - p.x;
      const double dy = q.y - p.y;
      candidates.push_back({dx * dx + dy * dy, k});
    }
  }

  void addBlock(const PointCoord& p, int32_t cx, int32_t cy, int32_t r) {
    const int32_t x0 = std::max(0, cx - r), x1 = std::min(grid.cols - 1, cx + r);
    const int32_t y0 = std::max(0, cy - r), y1 = std::min(grid.rows - 1, cy + r);
    for (int32_t y = y0; y <= y1; ++y) {
      for (int32_t x = x0; x <= x1; ++x) addCell(p, x, y);
    }
  }

  // The cells at Chebyshev distance exactly r from (cx, cy), inside the grid.
  void addRing(const PointCoord& p, int32_t cx, int32_t cy, int32_t r) {
    const int32_t x0 = std::max(0, cx - r), x1 = std::min(grid.cols - 1, cx + r);
    if (cy - r >= 0) {
      for (int32_t x = x0; x <= x1; ++x) addCell(p, x, cy - r);
    }
    if (cy + r < grid.rows) {
      for (int32_t x = x0; x <= x1; ++x) addCell(p, x, cy + r);
    }
    const int32_t y0 = std::max(0, cy - r + 1), y1 = std::min(grid.rows - 1, cy + r - 1);
    for (int32_t y = y0; y <= y1; ++y) {
      if (cx - r >= 0) addCell(p, cx - r, y);
      if (cx + r < grid.cols) addCell(p, cx + r, y);
    }
  }

  // The count-th smallest approximate squared distance among the candidates.
  double countThSmallest() {
    keys.clear();
    for (const Candidate& c : candidates) keys.push_back(c.approximate);
    std::nth_element(keys.begin(), keys.begin() + (count - 1), keys.end());
    return keys[static_cast<size_t>(count - 1)];
  }

  const Grid& grid;
  const int32_t count;
  int32_t startRadius = 1;
  std::vector<Candidate> candidates;
  std::vector<double> keys;
  std::vector<NeighborEntry> picked;
};

}  // namespace

void computeDistances(int32_t N, int32_t /*NN*/, int32_t /*NTRIP*/,
                      int32_t /*NITER*/) {
  gridOrder.clear();
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

int32_t neighborListLength(int32_t N, int32_t NN) {
  if (N <= 0) return 0;
#ifdef TESSEL_EXHAUSTIVE_NEIGHBORS
  (void)NN;
  return N;
#else
  return std::min(NN, N - 1) + 1;
#endif
}

namespace {

// Points ahead whose list header the search fetches.
constexpr int32_t kPrefetchDistance = 8;

// A hint that *address will soon be written; no effect on any result.
inline void prefetchForWriting(const void* address) {
#if defined(__GNUC__)
  __builtin_prefetch(address, 1);
#else
  (void)address;
#endif
}

// The grid of the search under way, built by orderPointsInGrid.
Grid searchGrid;
int32_t searchGridPoints = -1;

}  // namespace

void orderPointsInGrid(int32_t N) {
  searchGrid = Grid();
  searchGridPoints = -1;
  gridOrder.clear();
  if (N <= 0) return;
  buildGrid(searchGrid, N);
  searchGridPoints = N;
  gridOrder.resize(static_cast<size_t>(N));
  for (int32_t k = 0; k < N; ++k) gridOrder[static_cast<size_t>(k)] = neighborScratch[k].index;
}

void findNearestNeighbors(int32_t N, int32_t NN, int32_t /*NTRIP*/,
                          int32_t /*NITER*/) {
  if (N <= 0) return;
  if (searchGridPoints != N) orderPointsInGrid(N);
  const int32_t count = std::min(std::max(NN, 0), N - 1) + 1;
  forEachPointRange(N, [&](int32_t begin, int32_t end, int32_t /*worker*/) {
    NearestSearch search(searchGrid, count);
    for (int32_t position = begin; position < end; ++position) {
      // Positions follow the grid, owners do not: fetch the list header of
      // a point a few positions ahead while this one is searched.
      if (end - position > kPrefetchDistance) {
        prefetchForWriting(&neighborLists[neighborScratch[position + kPrefetchDistance].index]);
      }
      const int32_t owner = neighborScratch[position].index;
      neighborLists[owner].owner = owner;
      search.run(position, neighborLists[owner].entries);
    }
  });
  searchGrid = Grid();
  searchGridPoints = -1;
}

const int32_t* visitOrder(int32_t N) {
  return gridOrder.size() == static_cast<size_t>(N) && N > 0 ? gridOrder.data() : nullptr;
}

void forgetVisitOrder() { gridOrder.clear(); }
