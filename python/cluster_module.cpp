// The spatial index of tessel.dask's tiles, defined into tessel._core
// beside smooth(): the engine's PointIndex, for nearest-neighbour distances
// and ball queries measured exactly as the neighbour search measures them,
// the split of a block's points into the tiles, and the bounds of the
// points' neighbour distances from a grid.
// Nothing here prints or reads standard input; the queries run without the
// GIL.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <initializer_list>
#include <limits>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "tessel/tessel.h"

namespace py = pybind11;

namespace {

using Doubles = py::array_t<double, py::array::c_style | py::array::forcecast>;
using Indices = py::array_t<int64_t, py::array::c_style | py::array::forcecast>;

// A tile's spatial index: the engine's PointIndex over the tile's points,
// queried on the hardware's threads. It pickles as its coordinates and is
// built again where it lands, so that tiles move between worker processes.
using tessel::PointIndex;

std::unique_ptr<PointIndex> indexOf(const Doubles& x, const Doubles& y) {
  if (x.ndim() != 1 || y.ndim() != 1 || x.size() != y.size()) {
    throw py::value_error("x and y must be one-dimensional and of one length");
  }
  py::gil_scoped_release release;
  return std::make_unique<PointIndex>(x.size(), x.data(), y.data(), 0);
}

void checkQueries(py::ssize_t m, std::initializer_list<py::ssize_t> sizes) {
  for (py::ssize_t size : sizes) {
    if (size != m) throw py::value_error("the queries' arrays differ in length");
  }
}

// Per query, its k smallest distances (at most its bound, excluding the
// index's point excluded[q] when that is not -1), ascending, padded with inf.
py::array_t<double> nearestDistances(const PointIndex& index, const Doubles& qx, const Doubles& qy,
                                     const Indices& excluded, int64_t k, const Doubles& bound) {
  const py::ssize_t m = qx.size();
  checkQueries(m, {qy.size(), excluded.size(), bound.size()});
  if (k < 0 || k > std::numeric_limits<int32_t>::max()) {
    throw py::value_error("k must be between 0 and 2^31 - 1");
  }
  py::array_t<double> result(std::vector<py::ssize_t>{m, static_cast<py::ssize_t>(k)});
  double* out = result.mutable_data();
  {
    py::gil_scoped_release release;
    index.nearestDistances(m, qx.data(), qy.data(), excluded.data(), static_cast<int32_t>(k),
                           bound.data(), out);
  }
  return result;
}

// Per query, the index's points within its radius: (offsets, points), the
// points of query q being points[offsets[q]:offsets[q + 1]].
py::tuple ballPoints(const PointIndex& index, const Doubles& qx, const Doubles& qy,
                     const Doubles& radius) {
  const py::ssize_t m = qx.size();
  checkQueries(m, {qy.size(), radius.size()});
  py::array_t<int64_t> offsets(m + 1);
  auto found = std::make_unique<std::vector<int64_t>>();
  {
    py::gil_scoped_release release;
    index.within(m, qx.data(), qy.data(), radius.data(), offsets.mutable_data(), *found);
  }
  // The array takes the points over without a copy.
  py::capsule owner(found.get(),
                    [](void* held) { delete static_cast<std::vector<int64_t>*>(held); });
  std::vector<int64_t>& points = *found.release();
  return py::make_tuple(
      offsets, py::array_t<int64_t>(static_cast<py::ssize_t>(points.size()), points.data(), owner));
}

// A block's points sent to their tiles, for each cell (xlo, xhi, ylo, yhi)
// a row of `cells`: the points with xlo <= x < xhi and ylo <= y < yhi, in
// the block's order, as (index, x, y, rate, weight), index being the
// point's place in the block plus `offset`. The cells cover the plane
// without overlapping, so every point with coordinates goes to one.
py::list splitByTile(const Doubles& x, const Doubles& y, const Doubles& rate, const Doubles& weight,
                     int64_t offset, const Doubles& cells) {
  const py::ssize_t n = x.size();
  checkQueries(n, {y.size(), rate.size(), weight.size()});
  if (cells.ndim() != 2 || cells.shape(1) != 4 || cells.shape(0) < 1 ||
      cells.shape(0) > std::numeric_limits<int32_t>::max()) {
    throw py::value_error("cells must be rows of (xlo, xhi, ylo, yhi)");
  }
  const int32_t K = static_cast<int32_t>(cells.shape(0));
  const double* cell = cells.data();
  const double *px = x.data(), *py_ = y.data();
  // The cell of point i, or K when none holds it: found twice (to count,
  // then to place), which costs less than keeping it.
  auto cellOf = [&](py::ssize_t i) {
    int32_t t = 0;
    while (t < K && !(px[i] >= cell[4 * t] && px[i] < cell[4 * t + 1] &&
                      py_[i] >= cell[4 * t + 2] && py_[i] < cell[4 * t + 3])) {
      ++t;
    }
    return t;
  };
  std::vector<py::ssize_t> count(static_cast<size_t>(K) + 1, 0);
  {
    py::gil_scoped_release release;
    for (py::ssize_t i = 0; i < n; ++i) ++count[static_cast<size_t>(cellOf(i))];
  }
  if (count[static_cast<size_t>(K)] > 0) throw py::value_error("a point lies in no cell");
  // Every piece's columns lie in one block, advised onto huge pages: the
  // block is written whole at once, and its pages, fresh at every block,
  // are otherwise faulted in 4 KiB at a time. The pieces share it.
  constexpr size_t kAlign = size_t{2} << 20;
  const size_t bytes = std::max<size_t>(static_cast<size_t>(n) * 5 * sizeof(double), 1);
  void* block = nullptr;
  if (posix_memalign(&block, kAlign, (bytes + kAlign - 1) / kAlign * kAlign) != 0) {
    throw std::bad_alloc();
  }
  py::capsule owner(block, [](void* held) { std::free(held); });
  tessel::adviseHugePages(block, bytes);
  // Column c of tile t starts at start[t] + c * n.
  std::vector<py::ssize_t> start(static_cast<size_t>(K), 0);
  for (int32_t t = 1; t < K; ++t) {
    start[static_cast<size_t>(t)] =
        start[static_cast<size_t>(t) - 1] + count[static_cast<size_t>(t) - 1];
  }
  int64_t* const indexOut = static_cast<int64_t*>(block);
  double* const columnOut = static_cast<double*>(block) + n;
  {
    py::gil_scoped_release release;
    const double* in[4] = {px, py_, rate.data(), weight.data()};
    std::vector<py::ssize_t> at = start;
    for (py::ssize_t i = 0; i < n; ++i) {
      const py::ssize_t k = at[static_cast<size_t>(cellOf(i))]++;
      indexOut[k] = offset + i;
      for (int c = 0; c < 4; ++c) columnOut[c * n + k] = in[c][i];
    }
  }
  py::list pieces;
  for (int32_t t = 0; t < K; ++t) {
    const py::ssize_t from = start[static_cast<size_t>(t)];
    const py::ssize_t size = count[static_cast<size_t>(t)];
    py::tuple piece(5);
    piece[0] = py::array_t<int64_t>(size, indexOut + from, owner);
    for (int c = 0; c < 4; ++c) {
      piece[static_cast<size_t>(c) + 1] =
          py::array_t<double>(size, columnOut + c * n + from, owner);
    }
    pieces.append(piece);
  }
  return pieces;
}

// Python's a // b for finite a >= 0 and b > 0, as a float: the floor of
// the exact quotient, found from the remainder as CPython finds it.
double floorDivision(double a, double b) {
  const double mod = std::fmod(a, b);
  const double quotient = (a - mod) / b;
  double whole = std::floor(quotient);
  if (quotient - whole > 0.5) whole += 1.0;
  return whole;
}

// Per point, a bound on its measured distance to its k-th nearest other
// point among x, y, or inf where none is proven. The points go to square
// bins of side s over their bounding box, about binPoints to a bin; a point
// whose bin and the r rings of bins around it hold k others has them within
// (r + 1) s of it in each coordinate (bins are computed in floating point,
// but their side is large beside the coordinates' rounding), so within
// (r + 1) s * sqrt(2), with a margin for the measure's rounding. The rings
// grow until they hold k others, so points at the edges and in sparse
// parts get a bound too. Points on a line, or too close together for bins,
// get none. In one pass, where numpy's arrays of the bins, their counts
// and their sums were each fresh memory faulted in.
py::array_t<double> gridBounds(const Doubles& x, const Doubles& y, int64_t k, double binPoints) {
  const py::ssize_t n = x.size();
  checkQueries(n, {y.size()});
  if (k < 0) throw py::value_error("k must be between 0 and 2^31 - 1");
  py::array_t<double> result(n);
  double* const bound = result.mutable_data();
  py::gil_scoped_release release;
  std::fill(bound, bound + n, std::numeric_limits<double>::infinity());
  if (n == 0 || n <= k) return result;
  const double *px = x.data(), *py_ = y.data();
  double x0 = px[0], x1 = px[0], y0 = py_[0], y1 = py_[0];
  for (py::ssize_t i = 1; i < n; ++i) {
    x0 = std::min(x0, px[i]);
    x1 = std::max(x1, px[i]);
    y0 = std::min(y0, py_[i]);
    y1 = std::max(y1, py_[i]);
  }
  const double scale = std::max({std::fabs(x0), std::fabs(x1), std::fabs(y0), std::fabs(y1)});
  const double side = std::sqrt((x1 - x0) * (y1 - y0) * binPoints / static_cast<double>(n));
  if (!(side > 1e-6 * scale)) return result;
  const int64_t nx = static_cast<int64_t>(floorDivision(x1 - x0, side)) + 1;
  const int64_t ny = static_cast<int64_t>(floorDivision(y1 - y0, side)) + 1;
  auto binX = [&](py::ssize_t i) {
    return std::min(static_cast<int64_t>((px[i] - x0) / side), nx - 1);
  };
  auto binY = [&](py::ssize_t i) {
    return std::min(static_cast<int64_t>((py_[i] - y0) / side), ny - 1);
  };
  // sums[bx * rowLength + by]: the points in the bins below bx and below by,
  // so that any block of bins is counted in four reads.
  const int64_t rowLength = ny + 1;
  std::vector<int64_t> sums(static_cast<size_t>((nx + 1) * rowLength), 0);
  auto at = [&](int64_t bx, int64_t by) -> int64_t& {
    return sums[static_cast<size_t>(bx * rowLength + by)];
  };
  for (py::ssize_t i = 0; i < n; ++i) ++at(binX(i) + 1, binY(i) + 1);
  for (int64_t bx = 1; bx <= nx; ++bx) {
    for (int64_t by = 1; by <= ny; ++by)
      at(bx, by) += at(bx - 1, by) + at(bx, by - 1) - at(bx - 1, by - 1);
  }
  for (py::ssize_t i = 0; i < n; ++i) {
    const int64_t bx = binX(i), by = binY(i);
    for (int64_t r = 1;; ++r) {
      const int64_t lowX = std::max<int64_t>(bx - r, 0), highX = std::min(bx + r + 1, nx);
      const int64_t lowY = std::max<int64_t>(by - r, 0), highY = std::min(by + r + 1, ny);
      if (at(highX, highY) - at(lowX, highY) - at(highX, lowY) + at(lowX, lowY) > k) {
        bound[i] = static_cast<double>(r + 1) * std::sqrt(2.0) * side * (1 + 1e-6);
        break;
      }
      if (lowX == 0 && lowY == 0 && highX == nx && highY == ny) break;
    }
  }
  return result;
}

}  // namespace

void defineClusterFunctions(py::module_& m) {
  py::class_<PointIndex>(m, "PointIndex",
                         "A tile's spatial index: distances measured as the neighbour search "
                         "measures them.")
      .def(py::init(&indexOf), py::arg("x"), py::arg("y"))
      .def("nearest", &nearestDistances, py::arg("qx"), py::arg("qy"), py::arg("excluded"),
           py::arg("k"), py::arg("bound"),
           "Per query, its k smallest distances to the points (but point excluded[q], -1 for "
           "none) "
           "that are at most its bound, ascending, padded with inf.")
      .def("ball", &ballPoints, py::arg("qx"), py::arg("qy"), py::arg("radius"),
           "Per query, the points within its radius: (offsets, points).")
      .def("__len__", &PointIndex::size)
      .def("__sizeof__", &PointIndex::memoryBytes)
      .def(py::pickle(
          [](const PointIndex& index) {
            py::array_t<double> x(index.size()), y(index.size());
            index.coordinates(x.mutable_data(), y.mutable_data());
            return py::make_tuple(x, y);
          },
          [](const py::tuple& state) {
            if (state.size() != 2) throw py::value_error("a PointIndex's state is (x, y)");
            return indexOf(state[0].cast<Doubles>(), state[1].cast<Doubles>());
          }));
  m.def("split_by_tile", &splitByTile, py::arg("x"), py::arg("y"), py::arg("rate"),
        py::arg("weight"), py::arg("offset"), py::arg("cells"),
        "A block's points per cell (rows of xlo, xhi, ylo, yhi), in the block's order: "
        "(index, x, y, rate, weight), index counted from offset.");
  m.def("grid_bounds", &gridBounds, py::arg("x"), py::arg("y"), py::arg("k"), py::arg("bin_points"),
        "Per point, a bound on its distance to its k-th nearest other point, or inf where "
        "none is proven, from square bins of about bin_points points.");
}
