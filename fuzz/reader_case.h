// One input-reader fuzz case: decodes a byte string into reader settings
// and an input table, runs readInputTable on it in-process (from a file or
// from standard input) and checks the outcome, the ignored rows and the work
// file against a plain model of the two layouts. Shared by the libFuzzer
// target and the regression replay test; the caller owns the bytes and the
// directory the case's files go to.
//
// Layout of a case: a flags byte (1 -r, 2 -c, 4 standard input instead of
// a file, 8 a missing-value marker follows), then with flag 8 the marker up
// to the first line feed (cut at a NUL), then the input table.
#ifndef TESSEL_FUZZ_READER_CASE_H_
#define TESSEL_FUZZ_READER_CASE_H_

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "frontend/input_reader.h"
#include "frontend/run_state.h"

namespace reader_case {

// What one read must leave behind.
struct Outcome {
  bool proceed = true;
  bool invalidData = false;
  int32_t rowNumber = 0;
  int32_t pointCount = 0;
  std::string errorTitle, errorDetail, work;
  std::vector<int32_t> ignored;  // positions
};

struct Model {
  bool header, labels, fromFile;
  std::string marker;
  Outcome o;

  static bool blank(char c) { return static_cast<unsigned char>(c) <= 32; }

  // A plain decimal that does not overflow, after one final CR or LF is cut.
  static bool numeric(std::string& t) {
    if (t.empty()) return false;
    if (t.back() == '\n' || t.back() == '\r') t.pop_back();
    size_t digits = 0, points = 0;
    for (size_t p = t[0] == '-' ? 1 : 0; p < t.size(); ++p) {
      if (t[p] >= '0' && t[p] <= '9') {
        ++digits;
      } else if (t[p] == '.') {
        ++points;
      } else {
        return false;
      }
    }
    return digits > 0 && points <= 1 && !std::isinf(std::strtod(t.c_str(), nullptr));
  }

  void settle(std::vector<std::string> fields) {
    bool missing = false;
    for (size_t k = 0; k < 4 && o.proceed; ++k) {
      if (fields[k] == marker) {
        missing = true;
      } else if (!(o.proceed = numeric(fields[k]))) {
        o.invalidData = true;
        o.errorTitle = "Invalid Data!";
        o.errorDetail = "Row " + std::to_string(o.rowNumber) + ", Column " +
                        std::to_string(k + 1 + labels) + " : " + fields[k] + (fromFile ? "" : "\n");
      }
    }
    if (o.invalidData) return;
    if (missing) {
      o.ignored.push_back(o.pointCount);
    } else {
      ++o.pointCount;
      o.work += fields[0] + "," + fields[1] + "," + fields[2] + "," + fields[3] + "\n";
    }
  }

  // Physical lines: a NUL ends a line's text (and drops its line feed), a
  // CR before the line feed goes, the line feed stays when asked for.
  // A UTF-8 byte-order mark that opens the input is not read.
  static std::vector<std::string> lines(const std::string& input, bool keepLineFeed) {
    std::vector<std::string> all;
    for (size_t from = input.rfind("\xEF\xBB\xBF", 0) == 0 ? 3 : 0; from < input.size();) {
      size_t end = input.find('\n', from);
      bool feed = end != std::string::npos;
      std::string text = input.substr(from, (feed ? end : input.size()) - from);
      from = feed ? end + 1 : input.size();
      size_t nul = text.find('\0');
      if (nul != std::string::npos) {
        all.push_back(text.substr(0, nul));
        continue;
      }
      if (feed && !text.empty() && text.back() == '\r') text.pop_back();
      all.push_back(feed && keepLineFeed ? text + "\n" : text);
    }
    return all;
  }

  void readFile(const std::string& input) {
    std::vector<std::string> rows = lines(input, true);
    size_t i = header && !rows.empty() ? 1 : 0;
    o.rowNumber = header ? 1 : 0;
    const size_t width = labels ? 5 : 4;
    while (o.proceed && i < rows.size()) {
      const std::string& row = rows[i++];
      ++o.rowNumber;
      std::vector<std::string> tokens(1);
      for (char c : row) {
        if (c == ',') {
          tokens.emplace_back();
        } else {
          tokens.back().push_back(c);
        }
      }
      if (tokens.size() != width) {
        o.proceed = false;
        o.errorTitle = "Invalid number of fields!";
        o.errorDetail = "Expecting " + std::to_string(width) +
                        (labels ? " (including row label)" : "") + ", got " +
                        std::to_string(tokens.size()) + " : Row " + std::to_string(o.rowNumber) +
                        " : " + row + "\n";
        return;
      }
      for (std::string& t : tokens) {
        while (!t.empty() && blank(t.back())) t.pop_back();
        size_t lead = 0;
        while (lead < t.size() && blank(t[lead])) ++lead;
        t.erase(0, lead);
      }
      settle(std::vector<std::string>(tokens.begin() + labels, tokens.end()));
    }
  }

  void readStandardInput(const std::string& input) {
    std::vector<std::string> all = lines(input, false);
    const size_t width = labels ? 5 : 4;
    size_t i = header ? std::min(width, all.size()) : 0;
    o.rowNumber = header ? 1 : 0;
    std::vector<std::string> row;
    while (o.proceed && i < all.size()) {
      row.push_back(all[i++]);
      if (row.size() < width) continue;
      ++o.rowNumber;
      settle(std::vector<std::string>(row.begin() + labels, row.end()));
      row.clear();
    }
    if (o.proceed && !row.empty()) {
      o.proceed = false;
      o.errorTitle = "Invalid number of fields!";
      o.errorDetail = "Vectors are of unequal length.";
    }
  }
};

inline std::string readBack(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Runs the case with its files in `dir`; returns an empty text, or what
// differs from the model.
inline std::string runReaderCase(const uint8_t* data, size_t size, const std::string& dir) {
  std::string bytes(reinterpret_cast<const char*>(data), size);
  const uint8_t flags = bytes.empty() ? 0 : static_cast<uint8_t>(bytes[0]);
  bytes.erase(0, 1);
  Model model{(flags & 1) != 0, (flags & 2) != 0, (flags & 4) == 0, std::string(), Outcome()};
  if (flags & 8) {
    size_t end = bytes.find('\n');
    std::string marker = bytes.substr(0, end);
    model.marker = marker.substr(0, marker.find('\0'));
    bytes.erase(0, end == std::string::npos ? bytes.size() : end + 1);
  }
  const std::string inputPath = dir + "/in.csv", workPath = dir + "/work.txt";
  std::ofstream(inputPath, std::ios::binary) << bytes;

  RunSettings settings;
  settings.firstRowHasNames = model.header;
  settings.firstColumnHasLabels = model.labels;
  settings.fieldsPerRow = model.labels ? 5 : 4;
  settings.readFromFile = model.fromFile;
  settings.inputFileName = inputPath;
  settings.missingText = model.marker;
  if (!model.fromFile && std::freopen(inputPath.c_str(), "r", stdin) == nullptr) {
    return "standard input cannot be redirected";
  }
  std::FILE* work = std::fopen(workPath.c_str(), "w");
  if (work == nullptr) return "the work file cannot be created";
  RunState state;
  readInputTable(settings, state, work);

  model.fromFile ? model.readFile(bytes) : model.readStandardInput(bytes);
  const Outcome& want = model.o;
  std::vector<int32_t> ignored;
  for (const IgnoredRow& row : state.ignoredRows) ignored.push_back(row.position);
  if (state.readFailed || state.workFileFailed) return "a read or write failed";
  if (state.proceed != want.proceed || state.invalidData != want.invalidData)
    return "outcome flags";
  if (state.rowNumber != want.rowNumber) return "row count " + std::to_string(state.rowNumber);
  if (state.pointCount != want.pointCount) return "point count " + std::to_string(state.pointCount);
  if (want.errorTitle != state.errorTitle.GetCString() ||
      want.errorDetail != state.errorDetail.GetCString()) {
    return std::string("report \"") + state.errorTitle.GetCString() + " : " +
           state.errorDetail.GetCString() + "\", expected \"" + want.errorTitle + " : " +
           want.errorDetail + "\"";
  }
  if (ignored != want.ignored) return "ignored rows";
  if (readBack(workPath) != want.work) return "work file \"" + readBack(workPath) + "\"";
  return std::string();
}

}  // namespace reader_case

#endif  // TESSEL_FUZZ_READER_CASE_H_
