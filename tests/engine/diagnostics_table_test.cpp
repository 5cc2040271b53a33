// The diagnostics of the bundled example at the default options, as the
// column entry gives them, against tests/diagnostics/example.csv: the table
// the Python and R packages' tests compare their own columns with, so that
// the three give the same columns. TESSEL_UPDATE_DIAGNOSTICS=1 rewrites it.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tessel/tessel.h"

namespace {

const std::string kTable = TESSEL_SOURCE_DIR "/tests/diagnostics/example.csv";

std::string number(double value) {
  if (std::isnan(value)) return "NaN";
  char text[32];
  std::snprintf(text, sizeof text, "%.17g", value);
  return text;
}

TEST(Diagnostics, TheBundledExamplesTable) {
  std::ifstream in(TESSEL_SOURCE_DIR "/examples/rates.csv");
  ASSERT_TRUE(in) << "examples/rates.csv";
  std::vector<double> columns[4];
  std::string line;
  std::getline(in, line);  // the header
  while (std::getline(in, line)) {
    std::stringstream fields(line);
    std::string field;
    for (auto& column : columns) {
      std::getline(fields, field, ',');
      column.push_back(field == "NA" ? NAN : std::stod(field));
    }
  }
  tessel::Diagnostics d;
  const size_t n = columns[0].size();
  std::vector<double> values(n);
  tessel::ColumnView views[4];
  for (int c = 0; c < 4; ++c) views[c] = {columns[c].data(), static_cast<int64_t>(n), 1};
  tessel::smooth(views[0], views[1], views[2], views[3], {}, values.data(), nullptr, 0, &d);
  std::string table =
      "neighbors,radius,interior_triples,end_triples,low_screen,high_screen,held,last_change\n";
  for (size_t i = 0; i < n; ++i) {
    table += std::to_string(d.neighbors[i]) + "," + number(d.radius[i]) + "," +
             std::to_string(d.interior_triples[i]) + "," + std::to_string(d.end_triples[i]) + "," +
             number(d.low_screen[i]) + "," + number(d.high_screen[i]) + "," +
             std::to_string(d.held[i]) + "," + std::to_string(d.last_change[i]) + "\n";
  }
  const char* update = std::getenv("TESSEL_UPDATE_DIAGNOSTICS");
  if (update != nullptr && std::string(update) == "1") {
    std::ofstream(kTable, std::ios::binary) << table;
  }
  std::ifstream stored(kTable, std::ios::binary);
  std::stringstream bytes;
  bytes << stored.rdbuf();
  EXPECT_EQ(bytes.str(), table) << kTable << " (TESSEL_UPDATE_DIAGNOSTICS=1 rewrites it)";
}

}  // namespace
