// Times the column entry (tessel::smooth on four columns) with and without
// diagnostics, in turns, on a table with a header row of x, y, rate and
// weight (make_points). Prints each pair's wall times, then the medians and
// the median of the pairs' ratios, to standard output.
// Usage: diagnostics_cost FILE [PAIRS]   (default 5 pairs, after one
// warm-up run of each)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
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
  using Clock = std::chrono::steady_clock;
  auto time = [&](bool diagnosed) {
    tessel::Diagnostics diagnostics;
    const Clock::time_point start = Clock::now();
    tessel::smooth(views[0], views[1], views[2], views[3], {}, values.data(), nullptr, 0,
                   diagnosed ? &diagnostics : nullptr);
    return std::chrono::duration<double>(Clock::now() - start).count();
  };
  time(false);
  time(true);
  std::vector<double> without, with, ratios;
  std::printf("%10s %12s %12s %8s   (N = %lld)\n", "pair", "without (s)", "with (s)", "ratio",
              static_cast<long long>(n));
  for (int k = 0; k < pairs; ++k) {
    without.push_back(time(false));
    with.push_back(time(true));
    ratios.push_back(with.back() / without.back());
    std::printf("%10d %12.3f %12.3f %8.3f\n", k + 1, without.back(), with.back(), ratios.back());
  }
  if (pairs > 0) {
    std::printf("%10s %12.3f %12.3f %8.3f\n", "median", median(without), median(with),
                median(ratios));
  }
  return std::fflush(stdout) == 0 ? 0 : 1;
}
