// Times the column entry (tessel::smooth on four columns) with and without
// diagnostics, in turns, on a table with a header row of x, y, rate and
// weight (make_points). Prints each pair's wall and CPU times (the CPU time
// of all the process's threads, which another load on the machine changes
// less), then the medians and the median of the pairs' ratios, to standard
// output.
// Usage: diagnostics_cost FILE [PAIRS]   (default 5 pairs, after one
// warm-up run of each)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tessel/tessel.h"

namespace {

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: diagnostics_cost FILE [PAIRS]\n");
    return 2;
  }
  const int pairs = argc > 2 ? std::atoi(argv[2]) : 5;
  std::ifstream in(argv[1]);
  std::string line;
  if (!std::getline(in, line)) {
    std::fprintf(stderr, "diagnostics_cost: cannot read %s\n", argv[1]);
    return 1;
  }
  std::vector<double> columns[4];
  while (std::getline(in, line)) {
    std::stringstream fields(line);
    std::string field;
    for (std::vector<double>& column : columns) {
      if (!std::getline(fields, field, ',')) {
        std::fprintf(stderr, "diagnostics_cost: a row has fewer than 4 fields\n");
        return 1;
      }
      column.push_back(std::strtod(field.c_str(), nullptr));
    }
  }
  const int64_t n = static_cast<int64_t>(columns[0].size());
  tessel::ColumnView views[4];
  for (int c = 0; c < 4; ++c) views[c] = {columns[c].data(), n, 1};
  std::vector<double> values(columns[0].size());
  // One call's wall and CPU seconds.
  struct Times {
    double wall, cpu;
  };
  auto time = [&](bool diagnosed) {
    tessel::Diagnostics diagnostics;
    const std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
    const std::clock_t cpuStart = std::clock();
    tessel::smooth(views[0], views[1], views[2], views[3], {}, values.data(), nullptr, 0,
                   diagnosed ? &diagnostics : nullptr);
    const double cpu = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    return Times{std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(),
                 cpu};
  };
  time(false);
  time(true);
  std::vector<double> columnsOut[6];  // wall without, with, ratio; CPU the same
  std::printf("%6s %12s %12s %8s %12s %12s %8s   (N = %lld)\n", "pair", "wall without", "with",
              "ratio", "CPU without", "with", "ratio", static_cast<long long>(n));
  for (int k = 0; k < pairs; ++k) {
    const Times without = time(false), with = time(true);
    const double row[6] = {without.wall, with.wall, with.wall / without.wall,
                           without.cpu,  with.cpu,  with.cpu / without.cpu};
    for (int c = 0; c < 6; ++c) columnsOut[c].push_back(row[c]);
    std::printf("%6d %12.3f %12.3f %8.3f %12.3f %12.3f %8.3f\n", k + 1, row[0], row[1], row[2],
                row[3], row[4], row[5]);
  }
  if (pairs > 0) {
    double medians[6];
    for (int c = 0; c < 6; ++c) medians[c] = median(columnsOut[c]);
    std::printf("%6s %12.3f %12.3f %8.3f %12.3f %12.3f %8.3f\n", "median", medians[0], medians[1],
                medians[2], medians[3], medians[4], medians[5]);
  }
  return std::fflush(stdout) == 0 ? 0 : 1;
}
