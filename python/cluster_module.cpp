// The compiled pieces of tessel.dask, defined into tessel._core beside
// smooth(): the program's own reading of a piece of an input file and its
// formatting of result lines, its reports, its command line, and the
// spatial index of one tile (nearest-neighbour distances and ball queries,
// measured exactly as the neighbour search measures them). Nothing here
// prints or reads standard input; the long loops run without the GIL.
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

#include "frontend/command_line.h"
#include "frontend/console_allocation.h"
#include "frontend/run_state.h"
#include "frontend/smooth_rates.h"
#include "frontend/table_block.h"
#include "frontend/value_format.h"
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

RunSettings settingsOf(const py::dict& options) {
  RunSettings settings;
  settings.firstRowHasNames = options["names"].cast<bool>();
  settings.firstColumnHasLabels = options["labels"].cast<bool>();
  settings.fieldsPerRow = settings.firstColumnHasLabels ? 5 : 4;
  settings.missingText = options["missing"].cast<std::string>();
  return settings;
}

// The command line as the program reads it: its settings, its messages
// for standard error, and whether it goes on.
py::dict parseArguments(const std::vector<std::string>& arguments) {
  std::vector<char*> argv;
  std::vector<std::string> words(arguments);
  for (std::string& word : words) argv.push_back(&word[0]);
  argv.push_back(nullptr);
  RunSettings settings;
  RunState state;
  parseCommandLine(static_cast<int>(words.size()), argv.data(), settings, state);
  py::dict result;
  result["names"] = settings.firstRowHasNames;
  result["labels"] = settings.firstColumnHasLabels;
  result["neighbors"] = settings.NN;
  result["triples"] = settings.NTRIP;
  result["iterations"] = settings.NITER;
  result["theta"] = settings.ThetaStar;
  result["file"] = settings.readFromFile ? py::object(py::bytes(settings.inputFileName))
                                         : py::object(py::none());
  result["missing"] = py::bytes(settings.missingText);
  result["messages"] = py::bytes(state.commandLineMessages);
  result["proceed"] = state.proceed;
  result["help"] = state.helpRequested;
  return result;
}

py::bytes usageText(const std::string& programName) {
  char* text = nullptr;
  size_t size = 0;
  std::FILE* stream = open_memstream(&text, &size);
  if (stream == nullptr) throw std::bad_alloc();
  writeUsage(stream, programName.c_str());
  std::fclose(stream);
  py::bytes result(text, size);
  std::free(text);
  return result;
}

py::dict readBlock(const py::bytes& data, const py::dict& options, bool startOfInput,
                   int32_t rowsBefore) {
  const RunSettings settings = settingsOf(options);
  const std::string_view bytes = data;
  TableBlock block;
  {
    py::gil_scoped_release release;
    block = readTableBlock(bytes.data(), bytes.size(), settings, startOfInput, rowsBefore);
  }
  py::dict result;
  result["x"] = toArray(block.x);
  result["y"] = toArray(block.y);
  result["rate"] = toArray(block.rate);
  result["weight"] = toArray(block.weight);
  result["ignored"] = toArray(block.ignored);
  result["rows"] = block.rows;
  result["message"] = block.stopped ? py::object(py::bytes(block.message)) : py::none();
  return result;
}

// The result lines of a piece of the table, as the writer prints them: a
// row with a missing value as the marker, every point as "%lf".
py::bytes formatRows(const Doubles& values, const Indices& ignored, const std::string& marker) {
  std::string text;
  {
    py::gil_scoped_release release;
    const double* v = values.data();
    const int64_t* at = ignored.data();
    const py::ssize_t n = values.size(), m = ignored.size();
    text.reserve(static_cast<size_t>(n) * 10 + static_cast<size_t>(m) * (marker.size() + 1));
    char number[kValueTextSize];
    py::ssize_t k = 0;
    for (py::ssize_t i = 0; i <= n; ++i) {
      for (; k < m && at[k] <= i; ++k) text.append(marker).push_back('\n');
      if (i == n) break;
      text.append(number, formatValue(v[i], number)).push_back('\n');
    }
  }
  return py::bytes(text);
}

// Counts zero-size requests; every other request is met.
class CountingAllocation : public tessel::AllocationPolicy {
 public:
  void* obtain(size_t size) override {
    if (size == 0) {
      ++zeroSize;
      return nullptr;
    }
    void* block = size == SIZE_MAX ? nullptr : std::malloc(size);
    if (block == nullptr) throw std::bad_alloc();
    return block;
  }
  int64_t zeroSize = 0;
};

// What the program writes to standard output before the result table of N
// points: its zero-size allocation reports, or the limit report (then
// nothing else follows). A run on a few points stands in for the whole:
// only the per-point rows of the triples and the extrapolated values grow
// with N, by one request per point each when NTRIP is 0.
py::tuple preludeText(int32_t N, int32_t NN, int32_t NTRIP, int32_t NITER, double ThetaStar) {
  const tessel::LimitCheck check = tessel::checkLimits(NN, NTRIP, NITER);
  if (check != tessel::LimitCheck::kWithinLimits) {
    return py::make_tuple(py::bytes(limitReport(check, NN, NTRIP, NITER)), false);
  }
  const int32_t stand = std::min(N, std::max(NN, 0) + 2);
  CountingAllocation policy;
  {
    py::gil_scoped_release release;
    tessel::Workspace ws(policy, 1);
    tessel::SmoothingOptions options;
    options.NN = NN;
    options.NTRIP = NTRIP;
    options.NITER = NITER;
    options.ThetaStar = ThetaStar;
    ws.allocate(stand, options);
    for (int32_t i = 0; i < stand; ++i) ws.loadPoint(i, i, (i * i) % 7, 1.0, 1.0);
    ws.run();
  }
  const int64_t count = policy.zeroSize + (NTRIP == 0 ? 2 * int64_t{N - stand} : 0);
  std::string text;
  for (int64_t k = 0; k < count; ++k) text += kZeroSizeReport;
  return py::make_tuple(py::bytes(text), true);
}

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
  m.def("parse_arguments", &parseArguments, py::arg("arguments"),
        "The program's reading of its command line (argv[0] first).");
  m.def("usage", &usageText, py::arg("program_name"), "The program's usage text.");
  m.def("read_block", &readBlock, py::arg("data"), py::arg("options"), py::arg("start"),
        py::arg("rows_before"),
        "Reads whole lines of an input file by the program's rules: the good rows' four "
        "columns, the ignored rows' positions, the rows counted, and the report of a row "
        "that stops the run (None when none did).");
  m.def("format_rows", &formatRows, py::arg("values"), py::arg("ignored"), py::arg("marker"),
        "The result lines of a piece of the table, as the program prints them.");
  m.def("prelude", &preludeText, py::arg("points"), py::arg("neighbors"), py::arg("triples"),
        py::arg("iterations"), py::arg("theta"),
        "What the program prints before the result table, and whether the table follows.");
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
