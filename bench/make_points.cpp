// Writes a benchmark table: a header row, then N points, each with a rate
// and a weight, laid out as the layout argument says:
//   uniform  drawn uniformly from the unit square, no two alike (default)
//   towns    Gaussian clusters of widely varying size, weight and spacing
//            around town centres that gather in regions; most area empty
//   outlier  uniform, plus one point 10,000 times farther out
//   skewed   99.9 % inside a box of side 0.001, the rest spread over a
//            square of side 1,000,000
//   line     uniform along x, every y equal
//   lattice  an integer grid, rows in random order
//   shared   the points on only 1,000 distinct locations
// Every coordinate is a plain decimal (digits and at most one '.').
// Usage: make_points N [seed] [layout] > points.csv
#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <set>
#include <utility>
#include <vector>

namespace {

std::mt19937_64 generator;  // seeded by main
std::uniform_real_distribution<double> rate(0.0, 100.0);
std::uniform_int_distribution<int> weight(1, 5000);

// A coordinate as a whole number of units of 10^-decimals.
struct Fixed {
  int64_t units;
  int decimals;
};

bool writeRow(Fixed x, Fixed y) {
  const double r = rate(generator);
  const int w = weight(generator);
  char field[2][48];
  const Fixed both[2] = {x, y};
  for (int k = 0; k < 2; ++k) {
    int64_t scale = 1;
    for (int d = 0; d < both[k].decimals; ++d) scale *= 10;
    const int64_t whole = both[k].units / scale;
    const int64_t part = both[k].units % scale;
    if (both[k].decimals == 0) {
      std::snprintf(field[k], sizeof field[k], "%" PRId64, whole);
    } else {
      std::snprintf(field[k], sizeof field[k], "%" PRId64 ".%0*" PRId64, whole, both[k].decimals,
                    part);
    }
  }
  return std::printf("%s,%s,%.4f,%d\n", field[0], field[1], r, w) > 0;
}

// Today's uniform layout, kept byte for byte.
bool writeUniform(long count) {
  std::uniform_int_distribution<uint32_t> coordinate(0, 999999999);
  std::set<std::pair<uint32_t, uint32_t>> seen;
  for (long i = 0; i < count;) {
    std::pair<uint32_t, uint32_t> point(coordinate(generator), coordinate(generator));
    if (!seen.insert(point).second) continue;
    if (std::printf("0.%09u,0.%09u,%.4f,%d\n", point.first, point.second, rate(generator),
                    weight(generator)) < 0) {
      return false;
    }
    ++i;
  }
  return true;
}

// Writes count distinct points drawn by next() (a pair of Fixed).
template <class Next>
bool writeDistinct(long count, Next next) {
  std::set<std::pair<int64_t, int64_t>> seen;
  for (long i = 0; i < count;) {
    const std::pair<Fixed, Fixed> point = next();
    if (!seen.insert({point.first.units, point.second.units}).second) continue;
    if (!writeRow(point.first, point.second)) return false;
    ++i;
  }
  return true;
}

// Towns on a 1,000 by 1,000 map, in units of 10^-6: regions of towns,
// town weights falling as 1 / rank, town spread growing with its weight.
bool writeTowns(long count) {
  const int towns = static_cast<int>(std::clamp(count / 500, 20L, 20000L));
  const int regions = std::max(4, towns / 50);
  std::uniform_real_distribution<double> map(50.0, 950.0);
  std::vector<std::pair<double, double>> region(static_cast<size_t>(regions));
  for (auto& r : region) r = {map(generator), map(generator)};
  std::uniform_int_distribution<int> pickRegion(0, regions - 1);
  std::normal_distribution<double> normal(0.0, 1.0);
  std::vector<double> centreX, centreY, spread, share;
  for (int t = 0; t < towns; ++t) {
    const auto& r = region[static_cast<size_t>(pickRegion(generator))];
    const double regionSpread = 40.0 * std::exp(normal(generator) * 0.7);
    centreX.push_back(r.first + normal(generator) * regionSpread);
    centreY.push_back(r.second + normal(generator) * regionSpread);
    share.push_back(1.0 / (t + 1));
    spread.push_back(0.02 + 8.0 * std::sqrt(share.back()) * std::exp(normal(generator) * 0.5));
  }
  std::discrete_distribution<int> pickTown(share.begin(), share.end());
  auto micro = [](double v) { return Fixed{std::llround(std::clamp(v, 0.0, 1000.0) * 1e6), 6}; };
  return writeDistinct(count, [&] {
    const size_t t = static_cast<size_t>(pickTown(generator));
    const double x = centreX[t] + normal(generator) * spread[t];
    const double y = centreY[t] + normal(generator) * spread[t];
    return std::make_pair(micro(x), micro(y));
  });
}

// Units of 10^-9 of the unit square.
Fixed unitCoordinate() {
  return {std::uniform_int_distribution<int64_t>(0, 999999999)(generator), 9};
}

bool writeOutlier(long count) {
  if (count < 1) return true;
  if (!writeDistinct(count - 1,
                     [] { return std::make_pair(unitCoordinate(), unitCoordinate()); })) {
    return false;
  }
  return writeRow({10000, 0}, {10000, 0});
}

// Units of 10^-12: the box is [0, 0.001)², the rest [0, 1,000,000)².
bool writeSkewed(long count) {
  std::uniform_int_distribution<int64_t> box(0, 999999999);
  std::uniform_int_distribution<int64_t> wide(0, 999999999999999999);
  std::uniform_int_distribution<int> inBox(0, 999);
  return writeDistinct(count, [&] {
    if (inBox(generator) != 0)
      return std::make_pair(Fixed{box(generator), 12}, Fixed{box(generator), 12});
    return std::make_pair(Fixed{wide(generator), 12}, Fixed{wide(generator), 12});
  });
}

bool writeLine(long count) {
  return writeDistinct(count, [] { return std::make_pair(unitCoordinate(), Fixed{5, 1}); });
}

bool writeLattice(long count) {
  int64_t side = 1;
  while (side * side < count) ++side;
  std::vector<int64_t> cells(static_cast<size_t>(count));
  for (long i = 0; i < count; ++i) cells[static_cast<size_t>(i)] = i;
  for (long i = count - 1; i > 0; --i) {
    const long j = std::uniform_int_distribution<long>(0, i)(generator);
    std::swap(cells[static_cast<size_t>(i)], cells[static_cast<size_t>(j)]);
  }
  for (int64_t cell : cells) {
    if (!writeRow({cell % side, 0}, {cell / side, 0})) return false;
  }
  return true;
}

bool writeShared(long count) {
  std::vector<std::pair<Fixed, Fixed>> places;
  std::set<std::pair<int64_t, int64_t>> seen;
  while (places.size() < 1000) {
    const std::pair<Fixed, Fixed> place(unitCoordinate(), unitCoordinate());
    if (seen.insert({place.first.units, place.second.units}).second) places.push_back(place);
  }
  std::uniform_int_distribution<size_t> pick(0, places.size() - 1);
  for (long i = 0; i < count; ++i) {
    const auto& place = places[pick(generator)];
    if (!writeRow(place.first, place.second)) return false;
  }
  return true;
}

struct Layout {
  const char* name;
  bool (*write)(long count);
};

const Layout kLayouts[] = {
    {"uniform", writeUniform}, {"towns", writeTowns}, {"outlier", writeOutlier},
    {"skewed", writeSkewed},   {"line", writeLine},   {"lattice", writeLattice},
    {"shared", writeShared},
};

}  // namespace

int main(int argc, char** argv) {
  const Layout* layout = argc > 3 ? nullptr : &kLayouts[0];
  for (const Layout& l : kLayouts) {
    if (argc > 3 && std::strcmp(argv[3], l.name) == 0) layout = &l;
  }
  if (argc < 2 || layout == nullptr) {
    std::fprintf(
        stderr, "usage: make_points N [seed] [uniform|towns|outlier|skewed|line|lattice|shared]\n");
    return 2;
  }
  const long count = std::strtol(argv[1], nullptr, 10);
  generator.seed(argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 1);
  if (std::printf("x,y,rate,weight\n") < 0 || !layout->write(count) || std::fflush(stdout) != 0) {
    std::fprintf(stderr, "make_points: cannot write the table\n");
    return 1;
  }
  return 0;
}
