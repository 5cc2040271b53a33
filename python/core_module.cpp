// The compiled core of the Python package tessel (tessel._core): smooth()
// hands four float64 columns to the smoothing core and returns one value per
// row. The package's pure-Python layer turns the caller's columns into such
// arrays first (missing entries as NaN, refused types refused); this module
// takes float64 arrays only, so that no string or other object is ever
// parsed into a number here. Rows with a NaN are left out of the run and come
// back as NaN. The core runs with the GIL released, on a Workspace of its own
// with the hardware's worker count and the silent RaisingAllocation policy,
// whose std::bad_alloc pybind11 turns into MemoryError. Its progress hook
// takes the GIL to run pending signal handlers and the caller's progress
// callback; an exception from either stops the run, which releases its
// arrays, and is raised when the call returns. Nothing here prints, reads
// standard input or ends the process.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "tessel/tessel.h"

namespace py = pybind11;

namespace {

// A float64 array, used in place whatever its strides; no other dtype is
// converted (the flags leave out forcecast).
using Column = py::array_t<double, 0>;
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

// The progress hook: with the GIL held, runs pending signal handlers and
// then the caller's callback (when there is one). Returns false, leaving
// the Python exception set, when either raised.
bool reportProgress(const py::object& callback, tessel::Phase phase, double share) {
  py::gil_scoped_acquire hold;
  if (PyErr_CheckSignals() != 0) return false;
  if (callback.is_none()) return true;
  try {
    callback(tessel::phaseName(phase), share);
  } catch (py::error_already_set& e) {
    e.restore();
    return false;
  }
  return true;
}

// Runs pending signal handlers between the steps before the run, which the
// progress hook does not cover; raises their exception.
void checkSignals() {
  py::gil_scoped_acquire hold;
  if (PyErr_CheckSignals() != 0) throw py::error_already_set();
}

// Rows scanned or loaded between two checks of the signals: a few
// milliseconds of work.
constexpr int32_t kSignalStride = 1 << 18;

// Smooths the rows without a NaN and writes every row's value to out
// (NaN for the missing rows). Runs without the GIL; a signal handler's or
// the callback's exception stops the run and is raised when the call
// returns.
void smoothRows(const Rows& rows, const tessel::SmoothingOptions& options,
                const py::object& callback, double* out) {
  std::vector<int32_t> kept;  // the rows without a NaN
  for (int32_t i = 0; i < rows.N; ++i) {
    if (i % kSignalStride == 0) checkSignals();
    if (!rows.missing(i)) kept.push_back(i);
  }
  const int32_t M = static_cast<int32_t>(kept.size());
  tessel::RaisingAllocation policy;
  tessel::Workspace ws(policy);
  ws.setProgress([&callback](tessel::Phase phase, double share) {
    return reportProgress(callback, phase, share);
  });
  ws.allocate(M, options);
  for (int32_t first = 0; first < M;) {
    checkSignals();
    const int32_t count = std::min(kSignalStride, M - first);
    ws.forEachChunk(count, 4096, [&](int32_t begin, int32_t end) {
      for (int32_t k = first + begin; k < first + end; ++k) {
        const int32_t i = kept[static_cast<size_t>(k)];
        ws.loadPoint(k, rows.columns[0](i), rows.columns[1](i), rows.columns[2](i),
                     rows.columns[3](i));
      }
    });
    first += count;
  }
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
                                  int64_t iterations, double theta, const py::object& progress) {
  checkCount("neighbors", neighbors, tessel::kMaxNN);
  checkCount("triples", triples, tessel::kMaxNTRIP);
  checkCount("iterations", iterations, tessel::kMaxNITER);
  if (!std::isfinite(theta)) throw py::value_error("theta must be finite");
  if (!progress.is_none() && !PyCallable_Check(progress.ptr())) {
    throw py::type_error("progress must be None or a callable");
  }
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
    smoothRows(rows, options, progress, out);
  }
  return result;
}

// The share of the whole run done when the phase named `phase` (as the
// progress callback hears it) is `share` done: the core's runShare.
double runShareOf(const std::string& phase, double share) {
  for (int p = static_cast<int>(tessel::Phase::kTree);
       p <= static_cast<int>(tessel::Phase::kFinishing); ++p) {
    const auto candidate = static_cast<tessel::Phase>(p);
    if (phase == tessel::phaseName(candidate)) return tessel::runShare(candidate, share);
  }
  throw py::value_error("no phase is named " + py::repr(py::str(phase)).cast<std::string>());
}

}  // namespace

void defineClusterFunctions(py::module_& m);  // cluster_module.cpp
void defineCommandFunctions(py::module_& m);  // command_module.cpp

PYBIND11_MODULE(_core, m) {
  m.doc() = R"(The compiled smoother behind tessel.smooth (float64 columns only).)";
  m.def("smooth", &smoothColumns, py::arg("x"), py::arg("y"), py::arg("rate"), py::arg("weight"),
        py::arg("neighbors") = 10, py::arg("triples") = 7, py::arg("iterations") = 10,
        py::arg("theta") = 135.0, py::arg("progress") = py::none(),
        R"(Smooth four 1-D float64 arrays of equal length; NaN marks a missing row.

progress: None or a callable(phase_name, share) called under the GIL at the
start and end of every phase and about every 20 ms in between; an exception
it raises (as a pending signal handler's) stops the run and is raised here.
Raises ValueError for columns that are not 1-D or differ in length, more than
2**31 - 1 rows, an infinite value, or a count out of range; MemoryError when
memory runs out.)");
  m.def("run_share", &runShareOf, py::arg("phase"), py::arg("share"),
        R"(The share of the whole run done when the named phase is share done (0 to 1):
each phase fills a fixed stretch of one bar, in the order the phases come,
so the value only grows through a run. Raises ValueError for an unknown
phase name.)");
  defineClusterFunctions(m);
  defineCommandFunctions(m);
}
