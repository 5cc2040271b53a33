// The compiled spatial index of tessel.dask's tiles, defined into
// tessel._core beside smooth(): nearest-neighbour distances and ball
// queries, measured exactly as the neighbour search measures them. Nothing
// here prints or reads standard input; the long loops run without the GIL.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "tessel/tessel.h"

namespace py = pybind11;

namespace {

using Doubles = py::array_t<double, py::array::c_style | py::array::forcecast>;
using Indices = py::array_t<int64_t, py::array::c_style | py::array::forcecast>;

template <class T>
py::array_t<T> toArray(const std::vector<T>& values) {
  py::array_t<T> array(static_cast<py::ssize_t>(values.size()));
  std::copy(values.begin(), values.end(), array.mutable_data());
  return array;
}

// A tile's points in the order of an implicit k-d tree: node k covers a
// range of the order, split at its middle along its wider side (axis[k] 0
// for x, 1 for y, -1 for a leaf) at the coordinate split[k], which no point
// of its first half exceeds and no point of its second half falls below;
// its children are 2k+1 and 2k+2.
constexpr int64_t kLeaf = 16;

struct Tree {
  const double* x;
  const double* y;
  const int8_t* axis;
  const double* split;
  int64_t n;
};

// Nodes of the tree of n points: a full binary tree down to the depth at
// which every range is a leaf.
int64_t nodeCount(int64_t n) {
  int64_t count = 1;
  for (int64_t size = n; size > kLeaf; size = (size + 1) / 2) count = count * 2 + 1;
  return count;
}

void buildNode(const double* x, const double* y, int64_t* order, int64_t lo, int64_t hi,
               int64_t node, std::vector<int8_t>& axis, std::vector<double>& split) {
  if (hi - lo <= kLeaf) return;
  double x0 = INFINITY, x1 = -INFINITY, y0 = INFINITY, y1 = -INFINITY;
  for (int64_t k = lo; k < hi; ++k) {
    x0 = std::min(x0, x[order[k]]);
    x1 = std::max(x1, x[order[k]]);
    y0 = std::min(y0, y[order[k]]);
    y1 = std::max(y1, y[order[k]]);
  }
  const int8_t a = y1 - y0 > x1 - x0 ? 1 : 0;
  const double* c = a == 0 ? x : y;
  const int64_t mid = lo + (hi - lo) / 2;
  std::nth_element(order + lo, order + mid, order + hi,
                   [c](int64_t i, int64_t j) { return c[i] < c[j] || (c[i] == c[j] && i < j); });
  axis[static_cast<size_t>(node)] = a;
  split[static_cast<size_t>(node)] = c[order[mid]];
  buildNode(x, y, order, lo, mid, 2 * node + 1, axis, split);
  buildNode(x, y, order, mid, hi, 2 * node + 2, axis, split);
}

py::tuple treeOrder(const Doubles& x, const Doubles& y) {
  const int64_t n = x.size();
  Indices order(n);
  std::vector<int8_t> axis(static_cast<size_t>(nodeCount(n)), -1);
  std::vector<double> split(axis.size(), 0.0);
  {
    py::gil_scoped_release release;
    int64_t* o = order.mutable_data();
    for (int64_t k = 0; k < n; ++k) o[k] = k;
    buildNode(x.data(), y.data(), o, 0, n, 0, axis, split);
  }
  return py::make_tuple(order, toArray(axis), toArray(split));
}

// A lower bound of the measured distance of every point beyond a split
// whose plane lies `gap` away: the measure rounds, and squares below the
// smallest double vanish.
inline double beyond(double gap) { return std::fabs(gap) * (1 - 1e-9) - 1e-150; }

// The k smallest distances from (qx, qy) to the tree's points, other than
// point `self`, that are at most `bound`; ascending, kept in a max-heap.
void nearest(const Tree& t, int64_t node, int64_t lo, int64_t hi, double qx, double qy,
             int64_t self, size_t k, double bound, std::vector<double>& heap) {
  if (t.axis[node] < 0) {
    for (int64_t j = lo; j < hi; ++j) {
      if (j == self) continue;
      const double d = tessel::distance(qx, qy, t.x[j], t.y[j]);
      if (!(d <= bound)) continue;
      if (heap.size() < k) {
        heap.push_back(d);
        std::push_heap(heap.begin(), heap.end());
      } else if (d < heap.front()) {
        std::pop_heap(heap.begin(), heap.end());
        heap.back() = d;
        std::push_heap(heap.begin(), heap.end());
      }
    }
    return;
  }
  const int8_t a = t.axis[node];
  const int64_t mid = lo + (hi - lo) / 2;
  const double gap = (a == 0 ? qx : qy) - t.split[node];
  const bool leftFirst = gap < 0;
  for (int side = 0; side < 2; ++side) {
    const bool left = (side == 0) == leftFirst;
    if (side == 1) {
      const double worst = heap.size() < k ? bound : heap.front();
      if (beyond(gap) > worst) return;
    }
    if (left) {
      nearest(t, 2 * node + 1, lo, mid, qx, qy, self, k, bound, heap);
    } else {
      nearest(t, 2 * node + 2, mid, hi, qx, qy, self, k, bound, heap);
    }
  }
}

// Every point within radius of (qx, qy), appended to found.
void within(const Tree& t, int64_t node, int64_t lo, int64_t hi, double qx, double qy,
            double radius, std::vector<int64_t>& found) {
  if (t.axis[node] < 0) {
    for (int64_t j = lo; j < hi; ++j) {
      if (tessel::distance(qx, qy, t.x[j], t.y[j]) <= radius) found.push_back(j);
    }
    return;
  }
  const int8_t a = t.axis[node];
  const int64_t mid = lo + (hi - lo) / 2;
  const double gap = (a == 0 ? qx : qy) - t.split[node];
  if (gap < 0 || !(beyond(gap) > radius)) within(t, 2 * node + 1, lo, mid, qx, qy, radius, found);
  if (gap >= 0 || !(beyond(gap) > radius)) within(t, 2 * node + 2, mid, hi, qx, qy, radius, found);
}

// Runs body(begin, end) over [0, n) on the hardware's threads.
template <class Body>
void parallelRanges(int64_t n, Body body) {
  const int64_t threads =
      std::max<int64_t>(1, std::min<int64_t>(std::thread::hardware_concurrency(), n / 4096));
  std::vector<std::thread> workers;
  for (int64_t w = 1; w < threads; ++w) {
    workers.emplace_back(body, n * w / threads, n * (w + 1) / threads);
  }
  body(0, n / threads);
  for (std::thread& worker : workers) worker.join();
}

using Axes = py::array_t<int8_t, py::array::c_style | py::array::forcecast>;

Tree treeOf(const Doubles& x, const Doubles& y, const Axes& axis, const Doubles& split) {
  if (x.size() != y.size() || axis.size() < nodeCount(x.size()) || split.size() != axis.size()) {
    throw py::value_error("the tree's arrays do not fit together");
  }
  return Tree{x.data(), y.data(), axis.data(), split.data(), x.size()};
}

// Per query, its k smallest distances (at most its bound, excluding the
// tree's point self[q] when that is not -1), ascending, padded with inf.
py::array_t<double> nearestDistances(const Doubles& x, const Doubles& y, const Axes& axis,
                                     const Doubles& split, const Doubles& qx, const Doubles& qy,
                                     const Indices& self, int64_t k, const Doubles& bound) {
  const Tree tree = treeOf(x, y, axis, split);
  const int64_t m = qx.size();
  py::array_t<double> result(std::vector<py::ssize_t>{m, k});
  double* out = result.mutable_data();
  const double *px = qx.data(), *py_ = qy.data(), *pb = bound.data();
  const int64_t* ps = self.data();
  {
    py::gil_scoped_release release;
    parallelRanges(m, [&](int64_t begin, int64_t end) {
      std::vector<double> heap;
      for (int64_t q = begin; q < end; ++q) {
        heap.clear();
        if (tree.n > 0 && k > 0) {
          nearest(tree, 0, 0, tree.n, px[q], py_[q], ps[q], static_cast<size_t>(k), pb[q], heap);
        }
        std::sort_heap(heap.begin(), heap.end());
        double* row = out + q * k;
        for (int64_t j = 0; j < k; ++j) {
          row[j] = j < static_cast<int64_t>(heap.size()) ? heap[static_cast<size_t>(j)] : INFINITY;
        }
      }
    });
  }
  return result;
}

// Per query, the tree's points within its radius: (offsets, points), the
// points of query q being points[offsets[q]:offsets[q + 1]].
py::tuple ballPoints(const Doubles& x, const Doubles& y, const Axes& axis, const Doubles& split,
                     const Doubles& qx, const Doubles& qy, const Doubles& radius) {
  const Tree tree = treeOf(x, y, axis, split);
  const int64_t m = qx.size();
  std::vector<std::vector<int64_t>> found(static_cast<size_t>(m));
  {
    py::gil_scoped_release release;
    parallelRanges(m, [&](int64_t begin, int64_t end) {
      for (int64_t q = begin; q < end; ++q) {
        if (tree.n > 0) {
          within(tree, 0, 0, tree.n, qx.data()[q], qy.data()[q], radius.data()[q],
                 found[static_cast<size_t>(q)]);
        }
      }
    });
  }
  Indices offsets(m + 1);
  int64_t* o = offsets.mutable_data();
  o[0] = 0;
  for (int64_t q = 0; q < m; ++q) o[q + 1] = o[q] + static_cast<int64_t>(found[q].size());
  Indices points(o[m]);
  int64_t* p = points.mutable_data();
  for (int64_t q = 0; q < m; ++q) std::copy(found[q].begin(), found[q].end(), p + o[q]);
  return py::make_tuple(offsets, points);
}

}  // namespace

void defineClusterFunctions(py::module_& m) {
  m.def("tree_order", &treeOrder, py::arg("x"), py::arg("y"),
        "A tile's points in k-d tree order, and the tree's split axes and coordinates.");
  m.def("nearest_distances", &nearestDistances, py::arg("x"), py::arg("y"), py::arg("axis"),
        py::arg("split"), py::arg("qx"), py::arg("qy"), py::arg("self"), py::arg("k"),
        py::arg("bound"),
        "Per query, its k smallest distances to the tree's points (padded with inf).");
  m.def("ball_points", &ballPoints, py::arg("x"), py::arg("y"), py::arg("axis"), py::arg("split"),
        py::arg("qx"), py::arg("qy"), py::arg("radius"),
        "Per query, the tree's points within its radius.");
}
