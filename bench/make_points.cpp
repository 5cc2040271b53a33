// Writes a benchmark table: a header row, then N points drawn uniformly from
// the unit square (no two alike), each with a rate and a weight.
// Usage: make_points N [seed] > points.csv
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <set>
#include <utility>

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: make_points N [seed]\n");
    return 2;
  }
  long count = std::strtol(argv[1], nullptr, 10);
  unsigned long seed = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 1;
  std::mt19937_64 random(seed);
  std::uniform_int_distribution<uint32_t> coordinate(0, 999999999);
  std::uniform_real_distribution<double> rate(0.0, 100.0);
  std::uniform_int_distribution<int> weight(1, 5000);
  std::set<std::pair<uint32_t, uint32_t>> seen;
  std::printf("x,y,rate,weight\n");
  for (long i = 0; i < count;) {
    std::pair<uint32_t, uint32_t> point(coordinate(random), coordinate(random));
    if (!seen.insert(point).second) continue;
    std::printf("0.%09u,0.%09u,%.4f,%d\n", point.first, point.second, rate(random),
                weight(random));
    ++i;
  }
  return 0;
}
