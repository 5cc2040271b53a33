// The compiled core of the Python package tessel (tessel._core): smooth()
// hands four float64 columns to the core's column entry (tessel::smooth),
// which checks the options and the columns, leaves out the rows with a NaN
// (their values NaN) and smooths the rest; with diagnostics it also returns
// what the run found at each row. The package's pure-Python layer turns the
// caller's columns into such arrays first (missing entries as NaN, refused
// types refused); this module takes float64 arrays only, so that no string
// or other object is ever parsed into a number here, and reads them in
// place (a copy only for a view whose rows are not whole doubles apart).
// The core's refusals become _core.OptionError and _core.ColumnError, both
// ValueError, with the core's words and, for a column, which and where. The
// core runs with the GIL released on all hardware threads; its progress
// hook takes the GIL to run pending signal handlers and the caller's
// progress callback; an exception from either stops the run, which
// releases its arrays, and is raised when the call returns. Nothing here
// prints, reads standard input or ends the process.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "tessel/tessel.h"

namespace py = pybind11;

// The diagnostics as a dict of numpy arrays (also the cluster's tiles').
py::dict diagnosticColumns(tessel::Diagnostics&& d);
// A vector's entries as a numpy array that owns them (no copy).
py::array ownedArray(std::vector<double>&& entries);
py::array ownedArray(std::vector<int32_t>&& entries);

namespace {

// A float64 array, used in place whatever its strides; no other dtype is
// converted (the flags leave out forcecast).
using Column = py::array_t<double, 0>;

// The Python classes of the core's refusals (set when the module loads).
PyObject* optionErrorClass = nullptr;
PyObject* columnErrorClass = nullptr;

// A column as the core reads it. A view whose stride is not a whole number
// of doubles, or whose data are not aligned for them, is copied first into
// `copy`, which must outlive the view.
tessel::ColumnView viewOf(const Column& column, py::object& copy) {
  if (column.ndim() != 1) throw py::value_error("x, y, rate and weight must be 1-D");
  const auto address = reinterpret_cast<std::uintptr_t>(column.data());
  const py::ssize_t stride = column.strides(0);
  if (stride % static_cast<py::ssize_t>(sizeof(double)) != 0 || address % alignof(double) != 0) {
    copy = py::module_::import("numpy").attr("ascontiguousarray")(column);
    const Column contiguous = copy.cast<Column>();
    return {contiguous.data(), contiguous.shape(0), 1};
  }
  return {column.data(), column.shape(0), stride / static_cast<py::ssize_t>(sizeof(double))};
}

// Raises the core's refusal as the module's exception of its kind, its
// message the core's and its details as attributes.
[[noreturn]] void raiseOptionError(const tessel::OptionError& error) {
  py::object raised = py::reinterpret_borrow<py::object>(optionErrorClass)(error.what());
  raised.attr("option") = error.name();
  PyErr_SetObject(optionErrorClass, raised.ptr());
  throw py::error_already_set();
}

[[noreturn]] void raiseColumnError(const tessel::ColumnError& error) {
  const char* problem = "infinite value";
  switch (error.problem()) {
    case tessel::ColumnError::kLengthsDiffer:
      problem = "lengths differ";
      break;
    case tessel::ColumnError::kTooManyRows:
      problem = "too many rows";
      break;
    case tessel::ColumnError::kInfiniteValue:
      break;
  }
  py::object raised = py::reinterpret_borrow<py::object>(columnErrorClass)(error.what());
  raised.attr("problem") = problem;
  raised.attr("column") = error.column();
  raised.attr("row") = error.row();
  PyErr_SetObject(columnErrorClass, raised.ptr());
  throw py::error_already_set();
}

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

// A std::vector's entries as a numpy array that owns them (no copy).
template <class T>
py::array arrayOf(std::vector<T>&& entries) {
  auto* owned = new std::vector<T>(std::move(entries));
  py::capsule owner(owned, [](void* p) { delete static_cast<std::vector<T>*>(p); });
  return py::array_t<T>(static_cast<py::ssize_t>(owned->size()), owned->data(), owner);
}

py::object smoothColumns(const Column& x, const Column& y, const Column& rate, const Column& weight,
                         int64_t neighbors, int64_t triples, int64_t iterations, double theta,
                         const py::object& progress, bool diagnostics) {
  if (!progress.is_none() && !PyCallable_Check(progress.ptr())) {
    throw py::type_error("progress must be None or a callable");
  }
  py::object copies[4];
  const tessel::ColumnView views[4] = {viewOf(x, copies[0]), viewOf(y, copies[1]),
                                       viewOf(rate, copies[2]), viewOf(weight, copies[3])};
  tessel::OptionValues options;
  options.neighbors = neighbors;
  options.triples = triples;
  options.iterations = iterations;
  options.theta = theta;
  // Written only when the run succeeds; when the lengths differ, the core
  // refuses them before.
  py::array_t<double> values(x.shape(0));
  double* out = values.mutable_data();
  tessel::Diagnostics found;
  const tessel::ProgressHook hook = [&progress](tessel::Phase phase, double share) {
    return reportProgress(progress, phase, share);
  };
  try {
    py::gil_scoped_release release;
    tessel::smooth(views[0], views[1], views[2], views[3], options, out, hook, 0,
                   diagnostics ? &found : nullptr);
  } catch (const tessel::Cancelled&) {
    throw py::error_already_set();  // the signal handler's or the callback's
  } catch (const tessel::OptionError& error) {
    raiseOptionError(error);
  } catch (const tessel::ColumnError& error) {
    raiseColumnError(error);
  }
  if (!diagnostics) return std::move(values);
  return py::make_tuple(values, diagnosticColumns(std::move(found)));
}

// The share of the whole run done when the phase named `phase` (as the
// progress callback hears it) is `share` done: the core's runShare.
double runShareOf(const std::string& phase, double share) {
  for (int p = static_cast<int>(tessel::Phase::kLoading);
       p <= static_cast<int>(tessel::Phase::kFinishing); ++p) {
    const auto candidate = static_cast<tessel::Phase>(p);
    if (phase == tessel::phaseName(candidate)) return tessel::runShare(candidate, share);
  }
  throw py::value_error("no phase is named " + py::repr(py::str(phase)).cast<std::string>());
}

}  // namespace

// The diagnostics as a dict of numpy arrays under the core's names; held
// as booleans, the arrays owning the vectors' entries.
py::array ownedArray(std::vector<double>&& entries) { return arrayOf(std::move(entries)); }
py::array ownedArray(std::vector<int32_t>&& entries) { return arrayOf(std::move(entries)); }

py::dict diagnosticColumns(tessel::Diagnostics&& d) {
  py::dict columns;
  columns["neighbors"] = arrayOf(std::move(d.neighbors));
  columns["radius"] = arrayOf(std::move(d.radius));
  columns["interior_triples"] = arrayOf(std::move(d.interior_triples));
  columns["end_triples"] = arrayOf(std::move(d.end_triples));
  columns["low_screen"] = arrayOf(std::move(d.low_screen));
  columns["high_screen"] = arrayOf(std::move(d.high_screen));
  columns["held"] = arrayOf(std::move(d.held)).attr("view")("bool");
  columns["last_change"] = arrayOf(std::move(d.last_change));
  return columns;
}

void defineClusterFunctions(py::module_& m);  // cluster_module.cpp
void defineCommandFunctions(py::module_& m);  // command_module.cpp

PYBIND11_MODULE(_core, m) {
  m.doc() = R"(The compiled smoother behind tessel.smooth (float64 columns only).)";
  optionErrorClass = PyErr_NewExceptionWithDoc(
      "tessel._core.OptionError",
      "An option outside its limits; .option names it (neighbors, triples, iterations, theta).",
      PyExc_ValueError, nullptr);
  columnErrorClass = PyErr_NewExceptionWithDoc(
      "tessel._core.ColumnError",
      "Refused columns: .problem is 'lengths differ', 'too many rows' or 'infinite value'; "
      "for an infinite value .column (0 to 3: x, y, rate, weight) and .row (0-based) say "
      "where, else both are -1.",
      PyExc_ValueError, nullptr);
  if (optionErrorClass == nullptr || columnErrorClass == nullptr) throw py::error_already_set();
  m.attr("OptionError") = py::handle(optionErrorClass);
  m.attr("ColumnError") = py::handle(columnErrorClass);
  const tessel::OptionValues defaults;
  py::dict named;
  named["neighbors"] = defaults.neighbors;
  named["triples"] = defaults.triples;
  named["iterations"] = defaults.iterations;
  named["theta"] = defaults.theta;
  m.attr("DEFAULTS") = named;
  m.def("smooth", &smoothColumns, py::arg("x"), py::arg("y"), py::arg("rate"), py::arg("weight"),
        py::arg("neighbors") = defaults.neighbors, py::arg("triples") = defaults.triples,
        py::arg("iterations") = defaults.iterations, py::arg("theta") = defaults.theta,
        py::arg("progress") = py::none(), py::arg("diagnostics") = false,
        R"(Smooth four 1-D float64 arrays; NaN marks a missing row.

Returns the values, or with diagnostics=True (values, dict of the
diagnostic columns as numpy arrays under the core's names).
progress: None or a callable(phase_name, share) called under the GIL at the
start and end of every phase and about every 20 ms in between; an exception
it raises (as a pending signal handler's) stops the run and is raised here.
Raises OptionError or ColumnError (both ValueError) as the core refuses the
options or the columns, ValueError for columns that are not 1-D,
MemoryError when memory runs out.)");
  m.def("run_share", &runShareOf, py::arg("phase"), py::arg("share"),
        R"(The share of the whole run done when the named phase is share done (0 to 1):
each phase fills a fixed stretch of one bar, in the order the phases come,
so the value only grows through a run. Raises ValueError for an unknown
phase name.)");
  defineClusterFunctions(m);
  defineCommandFunctions(m);
}
