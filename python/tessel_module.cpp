// The Python module tessel: smooth() hands four columns to the smoothing
// core and returns one value per row. numpy converts the arguments; rows
// with a NaN are left out of the run and come back as NaN. The core runs
// with the GIL released, on a Workspace of its own with the hardware's
// worker count and the silent RaisingAllocation policy, whose
// std::bad_alloc pybind11 turns into MemoryError. Its progress hook takes
// the GIL to run pending signal handlers, so that Ctrl-C stops a long call
// with KeyboardInterrupt. Nothing here prints, reads standard input or ends
// the process.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "tessel/tessel.h"

namespace py = pybind11;

namespace {

// Any numeric array-like as doubles; arrays that already hold doubles are
// used in place, whatever their strides.
using Column = py::array_t<double, py::array::forcecast>;
using ColumnView = py::detail::unchecked_reference<double, 1>;

const char* const kColumnNames[4] = {"x", "y", "rate", "weight"};

void checkCount(const char* name, int64_t value, int32_t limit) {
  if (value < 0 || value > limit) {
    throw py::value_error(std::string(name) + " must be between 0 and " + std::to_string(limit) +
                          ", got " + std::to_string(value));
  }
}

// The four columns, read one row at a time.
struct Rows {
  ColumnView columns[4];
  int32_t N;

  // Missing: a NaN among the row's values. An infinite value is refused.
  bool missing(int32_t i) const {
    bool nan = false;
    for (int c = 0; c < 4; ++c) {
      const double v = columns[c](i);
      if (std::isinf(v)) {
        throw py::value_error(std::string(kColumnNames[c]) + " holds an infinite value at row " +
                              std::to_string(i));
      }
      nan = nan || std::isnan(v);
    }
    return nan;
  }
};

// Smooths the rows without a NaN and writes every row's value to out
// (NaN for the missing rows). Runs without the GIL; a signal handler's
// exception stops the run and is raised when the call returns.
void smoothRows(const Rows& rows, const tessel::SmoothingOptions& options, double* out) {
  std::vector<int32_t> kept;  // the rows without a NaN
  for (int32_t i = 0; i < rows.N; ++i) {
    if (!rows.missing(i)) kept.push_back(i);
  }
  const int32_t M = static_cast<int32_t>(kept.size());
  tessel::RaisingAllocation policy;
  tessel::Workspace ws(policy);
  ws.setProgress([](tessel::Phase, double) {
    py::gil_scoped_acquire hold;
    return PyErr_CheckSignals() == 0;
  });
  ws.allocate(M, options);
  ws.forEachChunk(M, 4096, [&](int32_t begin, int32_t end) {
    for (int32_t k = begin; k < end; ++k) {
      const int32_t i = kept[static_cast<size_t>(k)];
      ws.loadPoint(k, rows.columns[0](i), rows.columns[1](i), rows.columns[2](i),
                   rows.columns[3](i));
    }
  });
  try {
    ws.run();
  } catch (const tessel::Cancelled&) {
    py::gil_scoped_acquire hold;
    throw py::error_already_set();
  }
  const double* values = ws.values();
  for (int32_t i = 0, k = 0; i < rows.N; ++i) {
    const bool nan = k >= M || kept[static_cast<size_t>(k)] != i;
    out[i] = nan ? std::numeric_limits<double>::quiet_NaN() : values[k++];
  }
}

py::array_t<double> smoothColumns(const Column& x, const Column& y, const Column& rate,
                                  const Column& weight, int64_t neighbors, int64_t triples,
                                  int64_t iterations, double theta) {
  checkCount("neighbors", neighbors, tessel::kMaxNN);
  checkCount("triples", triples, tessel::kMaxNTRIP);
  checkCount("iterations", iterations, tessel::kMaxNITER);
  if (!std::isfinite(theta)) throw py::value_error("theta must be finite");
  const Column* columns[4] = {&x, &y, &rate, &weight};
  std::string lengths;
  bool equal = true;
  for (const Column* column : columns) {
    if (column->ndim() != 1) throw py::value_error("x, y, rate and weight must be 1-D");
    lengths += (lengths.empty() ? "" : ", ") + std::to_string(column->shape(0));
    equal = equal && column->shape(0) == x.shape(0);
  }
  if (!equal) throw py::value_error("x, y, rate and weight differ in length: " + lengths);
  const py::ssize_t n = x.shape(0);
  if (n > INT32_MAX) {
    throw py::value_error(std::to_string(n) + " rows are more than " + std::to_string(INT32_MAX));
  }
  const Rows rows{{x.unchecked<1>(), y.unchecked<1>(), rate.unchecked<1>(), weight.unchecked<1>()},
                  static_cast<int32_t>(n)};
  tessel::SmoothingOptions options;
  options.NN = static_cast<int32_t>(neighbors);
  options.NTRIP = static_cast<int32_t>(triples);
  options.NITER = static_cast<int32_t>(iterations);
  options.ThetaStar = theta;
  py::array_t<double> result(n);
  double* out = result.mutable_data();
  {
    py::gil_scoped_release release;
    smoothRows(rows, options, out);
  }
  return result;
}

}  // namespace

PYBIND11_MODULE(tessel, m) {
  m.doc() = R"(Smoothing of rates observed at points in the plane.

For every point the smoother takes its nearest neighbours, picks triples
(the point and two neighbours nearly on one straight line with it), and over
a number of iterations clamps the point's value between weighted-median low
and high screens built from those triples; points at the edge of the data
use values extrapolated along the line. The values are those of the tessel
program, bit for bit.)";
  m.def("smooth", &smoothColumns, py::arg("x"), py::arg("y"), py::arg("rate"), py::arg("weight"),
        py::arg("neighbors") = 10, py::arg("triples") = 7, py::arg("iterations") = 10,
        py::arg("theta") = 135.0,
        R"(Smooth rates observed at points; return one value per row.

x, y, rate, weight: 1-D array-likes of equal length (lists, numpy arrays of
    any numeric dtype, pandas columns), one point per row: its coordinates,
    observed rate and weight (a population, say).
neighbors: nearest neighbours per point, 0 to 100 (fewer when there are
    fewer other points).
triples: maximum number of triples per point, 0 to 80.
iterations: number of iterations, 0 to 100; 0 returns the rates unchanged.
theta: threshold angle in degrees: two neighbours form a triple with the
    point when the angle at the point exceeds it.

Returns a float64 numpy array in input order. A row with a NaN among its
four values takes no part and comes back as NaN. Raises ValueError for
columns that are not 1-D or differ in length, more than 2**31 - 1 rows, an
infinite value, or a count out of range; MemoryError when memory runs out.
The GIL is released while the smoother runs on all cores.)");
}
