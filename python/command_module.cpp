// The program's front end for the cluster command (python3 -m tessel.dask),
// defined into tessel._core: its command line, its reading of the input
// (whole on the client, or a byte range of a file on a worker), its
// conclusion from what was read, what it prints before and in the result
// table, and its exit statuses. Every function takes the program's command
// line (argv[0] first) and reads it with the program's parser, so that a
// worker reads the table exactly as the client's options say. The command
// keeps only the orchestration; nothing here prints, and the long loops run
// without the GIL.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "frontend/command_line.h"
#include "frontend/driver.h"
#include "frontend/read_outcome.h"
#include "frontend/run_state.h"
#include "frontend/smooth_rates.h"
#include "frontend/standard_descriptors.h"
#include "frontend/table_block.h"
#include "frontend/value_format.h"
#include "tessel/tessel.h"

namespace py = pybind11;

py::dict diagnosticColumns(tessel::Diagnostics&& found);  // core_module.cpp
py::array ownedArray(std::vector<double>&& entries);      // core_module.cpp
py::array ownedArray(std::vector<int32_t>&& entries);     // core_module.cpp

namespace {

using Doubles = py::array_t<double, py::array::c_style | py::array::forcecast>;
using Indices = py::array_t<int64_t, py::array::c_style | py::array::forcecast>;

// The program's reading of a command line.
struct CommandLine {
  RunSettings settings;
  RunState state;

  explicit CommandLine(const std::vector<std::string>& arguments) {
    std::vector<std::string> words(arguments);
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(&word[0]);
    argv.push_back(nullptr);
    state.programName.Set(words.empty() ? "" : words[0].c_str());
    parseCommandLine(static_cast<int>(words.size()), argv.data(), settings, state);
  }
};

py::dict commandLine(const std::vector<std::string>& arguments) {
  const CommandLine line(arguments);
  py::dict result;
  result["file"] = line.settings.readFromFile ? py::object(py::bytes(line.settings.inputFileName))
                                              : py::object(py::none());
  result["names"] = line.settings.firstRowHasNames;
  result["neighbors"] = line.settings.NN;
  result["triples"] = line.settings.NTRIP;
  result["iterations"] = line.settings.NITER;
  result["theta"] = line.settings.ThetaStar;
  result["missing"] = py::bytes(line.settings.missingText);
  result["messages"] = py::bytes(line.state.commandLineMessages);
  result["proceed"] = line.state.proceed;
  result["status"] = line.state.proceed ? kExitSuccess : usageStatus(line.state);
  return result;
}

py::bytes usageText(const std::vector<std::string>& arguments) {
  const CommandLine line(arguments);
  char* text = nullptr;
  size_t size = 0;
  std::FILE* stream = open_memstream(&text, &size);
  if (stream == nullptr) throw std::bad_alloc();
  writeUsage(stream, line.state.programName.GetFileName());
  const bool written = std::fclose(stream) == 0;
  py::bytes result(text, size);
  std::free(text);
  if (!written) throw std::bad_alloc();
  return result;
}

// The size of the -f file when it is a regular file the client can open,
// which workers may then read in byte ranges; None for anything else
// (standard input, a pipe, a directory, a file that cannot be opened),
// which the client reads whole, as the program would.
py::object regularSize(const std::vector<std::string>& arguments) {
  const CommandLine line(arguments);
  if (!line.settings.readFromFile) return py::none();
  std::FILE* file = std::fopen(line.settings.inputFileName.c_str(), "r");
  if (file == nullptr) return py::none();
  struct stat status;
  const bool regular = fstat(fileno(file), &status) == 0 && S_ISREG(status.st_mode);
  std::fclose(file);
  return regular ? py::object(py::int_(static_cast<int64_t>(status.st_size))) : py::none();
}

py::tuple summaryOf(const ReadSummary& s) {
  return py::make_tuple(s.rows, s.proceed, s.openFailed, s.readFailed, s.readOutOfMemory,
                        s.workFileFailed, py::bytes(s.errorTitle), py::bytes(s.errorDetail));
}

ReadSummary summaryFrom(const py::tuple& t) {
  ReadSummary s;
  s.rows = t[0].cast<int32_t>();
  s.proceed = t[1].cast<bool>();
  s.openFailed = t[2].cast<bool>();
  s.readFailed = t[3].cast<bool>();
  s.readOutOfMemory = t[4].cast<bool>();
  s.workFileFailed = t[5].cast<bool>();
  s.errorTitle = t[6].cast<std::string>();
  s.errorDetail = t[7].cast<std::string>();
  return s;
}

// The block as a dict; its columns become arrays that own them.
py::dict blockDict(TableBlock&& block) {
  py::dict result;
  result["x"] = ownedArray(std::move(block.x));
  result["y"] = ownedArray(std::move(block.y));
  result["rate"] = ownedArray(std::move(block.rate));
  result["weight"] = ownedArray(std::move(block.weight));
  result["ignored"] = ownedArray(std::move(block.ignored));
  result["rows"] = block.summary.rows;
  result["stopped"] = block.stopped();
  result["summary"] = summaryOf(block.summary);
  result["load_report"] = py::bytes(block.loadReport);
  return result;
}

py::dict readRange(const std::vector<std::string>& arguments, const std::string& path,
                   int64_t offset, int64_t length, int32_t rowsBefore) {
  const CommandLine line(arguments);
  TableBlock block;
  {
    py::gil_scoped_release release;
    block = readTableRange(path.c_str(), static_cast<off_t>(offset), static_cast<off_t>(length),
                           line.settings, rowsBefore);
  }
  return blockDict(std::move(block));
}

py::dict readInput(const std::vector<std::string>& arguments) {
  const CommandLine line(arguments);
  TableBlock block;
  {
    py::gil_scoped_release release;
    block = readWholeInput(line.settings);
  }
  return blockDict(std::move(block));
}

// How the run goes on after the reading: rowsBefore rows read before the
// block that stopped it (summary), or in all when none did (None).
// (errors, report, output, status, smooth): errors and report go to
// standard error, output to standard output.
py::tuple conclude(const std::vector<std::string>& arguments, int32_t rowsBefore,
                   const py::object& stoppedBlock) {
  const CommandLine line(arguments);
  ReadSummary summary;
  std::string output;
  if (!stoppedBlock.is_none()) {
    const py::dict block = stoppedBlock.cast<py::dict>();
    summary = summaryFrom(block["summary"].cast<py::tuple>());
    output = block["load_report"].cast<std::string>();
  }
  summary.rows += rowsBefore;
  ReadOutcome outcome = concludeReading(line.settings, summary);
  if (!output.empty() && outcome.smooth) {
    // The loader's refusal of a row ends the run as it ends the program's.
    outcome.smooth = false;
    outcome.status = kExitFailure;
  }
  return py::make_tuple(py::bytes(outcome.errors), py::bytes(outcome.report), py::bytes(output),
                        outcome.status, outcome.smooth);
}

// What standard output shows before the values of N points, and the exit
// status when nothing follows it (None when the table follows).
py::tuple resultPreludeOf(const std::vector<std::string>& arguments, int32_t N) {
  const CommandLine line(arguments);
  bool proceed = true;
  std::string text;
  {
    py::gil_scoped_release release;
    text = resultPrelude(N, line.settings, proceed);
  }
  return py::make_tuple(py::bytes(text), proceed ? py::object(py::none()) : py::int_(kExitFailure));
}

// The result lines of a piece of the table, as the writer prints them: a
// row with a missing value as the marker, every point as "%lf".
py::bytes resultLines(const Doubles& values, const Indices& ignored, const std::string& marker) {
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

// The values of a tile's points (no missing rows) as the program's engine
// gives them with these control numbers, which the program's limits have
// already passed, and on request the diagnostics; on the hardware's
// threads, without the GIL.
py::object smoothPoints(const Doubles& x, const Doubles& y, const Doubles& rate,
                        const Doubles& weight, int32_t NN, int32_t NTRIP, int32_t NITER,
                        double ThetaStar, bool diagnostics) {
  const py::ssize_t n = x.size();
  if (y.size() != n || rate.size() != n || weight.size() != n || n > INT32_MAX) {
    throw py::value_error("the columns of a tile differ in length");
  }
  const int32_t N = static_cast<int32_t>(n);
  py::array_t<double> result(n);
  tessel::Diagnostics found;
  {
    py::gil_scoped_release release;
    tessel::RaisingAllocation policy;
    tessel::Workspace ws(policy);
    if (ws.allocate(N, smoothingOptionsOf(NN, NTRIP, NITER, ThetaStar)) !=
        tessel::LimitCheck::kWithinLimits) {
      py::gil_scoped_acquire hold;
      throw py::value_error("control numbers outside the program's limits");
    }
    const double *px = x.data(), *py_ = y.data(), *pr = rate.data(), *pw = weight.data();
    ws.forEachChunk(N, 1 << 14, [&](int32_t begin, int32_t end) {
      for (int32_t i = begin; i < end; ++i) ws.loadPoint(i, px[i], py_[i], pr[i], pw[i]);
    });
    ws.run(diagnostics ? &found : nullptr);
    std::copy(ws.values(), ws.values() + N, result.mutable_data());
  }
  if (!diagnostics) return std::move(result);
  return py::make_tuple(result, diagnosticColumns(std::move(found)));
}

}  // namespace

void defineCommandFunctions(py::module_& m) {
  m.attr("EXIT_SUCCESS") = kExitSuccess;
  m.attr("EXIT_FAILURE") = kExitFailure;
  m.attr("EXIT_USAGE") = kExitUsageError;
  m.def("reserve_standard_descriptors", &reserveClosedStandardDescriptors,
        "Keeps closed standard descriptors' numbers from being taken, as the program does; "
        "False when one could not be kept.");
  m.def("command_line", &commandLine, py::arg("arguments"),
        "The program's reading of its command line (argv[0] first): settings, messages for "
        "standard error, whether it goes on, and its exit status when it does not.");
  m.def("usage", &usageText, py::arg("arguments"), "The program's usage text.");
  m.def("regular_size", &regularSize, py::arg("arguments"),
        "The -f file's size when workers may read it in ranges, else None.");
  m.def("read_range", &readRange, py::arg("arguments"), py::arg("path"), py::arg("offset"),
        py::arg("length"), py::arg("rows_before"),
        "The lines of the -f file (at path, as a worker finds it) that begin in [offset, "
        "offset + length), read by the program's rules.");
  m.def("read_input", &readInput, py::arg("arguments"),
        "The whole input (the -f file or standard input), read by the program's rules.");
  m.def("conclude", &conclude, py::arg("arguments"), py::arg("rows_before"), py::arg("stopped"),
        "How the run goes on after reading: (errors, report, output, status, smooth).");
  m.def("result_prelude", &resultPreludeOf, py::arg("arguments"), py::arg("points"),
        "What standard output shows before the values, and the exit status when nothing "
        "follows.");
  m.def("result_lines", &resultLines, py::arg("values"), py::arg("ignored"), py::arg("marker"),
        "The result lines of a piece of the table, as the program prints them.");
  m.def("smooth_points", &smoothPoints, py::arg("x"), py::arg("y"), py::arg("rate"),
        py::arg("weight"), py::arg("neighbors"), py::arg("triples"), py::arg("iterations"),
        py::arg("theta"), py::arg("diagnostics") = false,
        "A tile's values as the program's engine gives them; with diagnostics, "
        "(values, dict of the diagnostic columns).");
  m.def(
      "output_error", [](int error) { return py::bytes(outputErrorReport(error)); },
      py::arg("errno"), "The report of standard output refusing the table.");
}
