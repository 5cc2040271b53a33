// Smooths a table with a header row and "NA" for missing values through
// tessel::smooth, printing the result as the program does with -r -m NA.
#include <tessel/tessel.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  std::ifstream in(argv[1]);
  std::string line;
  if (!std::getline(in, line)) return 1;
  std::vector<double> columns[4];
  while (std::getline(in, line)) {
    std::stringstream fields(line);
    std::string field;
    for (auto& column : columns) {
      if (!std::getline(fields, field, ',')) return 1;
      column.push_back(field == "NA" ? NAN : std::strtod(field.c_str(), nullptr));
    }
  }
  const std::vector<double> values = tessel::smooth(columns[0], columns[1], columns[2], columns[3]);
  std::printf("Smoothed Rate\n");
  for (double v : values) {
    if (std::isnan(v)) {
      std::printf("NA\n");
    } else {
      std::printf("%f\n", v);
    }
  }
  return std::fflush(stdout) == 0 ? 0 : 1;
}
