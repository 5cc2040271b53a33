// The spatial index of tessel.dask's tiles, defined into tessel._core
// beside smooth(): the engine's PointIndex, for nearest-neighbour distances
// and ball queries measured exactly as the neighbour search measures them.
// Nothing here prints or reads standard input; the queries run without the
// GIL.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <memory>
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
}
