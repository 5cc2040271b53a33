// The loader's two ways of reading the work file (the map parsed on every
// worker, and line by line with sscanf) give the same points: the same
// numbers written once with line feeds and once with carriage returns
// before them, which only the line-by-line way reads, smooth to the same
// values bit for bit.
#include "frontend/loader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace {

// The values of the n points of the work file text, loaded from a file.
std::vector<double> loadAndSmooth(const std::string& text, int32_t n) {
  char path[] = "/tmp/tessel-loader-XXXXXX";
  const int fd = mkstemp(path);
  std::FILE* file = fdopen(fd, "w");
  EXPECT_TRUE(file != nullptr && std::fwrite(text.data(), 1, text.size(), file) == text.size() &&
              std::fclose(file) == 0);
  tessel::RaisingAllocation policy;
  tessel::Workspace ws(policy, 2);
  EXPECT_EQ(ws.allocate(n, tessel::SmoothingOptions()), tessel::LimitCheck::kWithinLimits);
  const bool loaded = loadPoints(n, path, ws);
  std::remove(path);
  if (!loaded) return {};
  ws.run();
  return std::vector<double>(ws.values(), ws.values() + n);
}

TEST(Loader, MappedAndLineByLineReadingAgree) {
  std::mt19937_64 random(3);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  const int32_t n = 5000;
  std::string plain, carriageReturns;
  for (int32_t i = 0; i < n; ++i) {
    // Numbers in every form the reader passes on: many digits, exponents,
    // signs, integers, a bare point.
    char line[200];
    const double x = unit(random) * 1e3, y = -unit(random) * 1e-3;
    const int length =
        i % 3 == 0 ? std::snprintf(line, sizeof line, "%.17g,%.17g,%d,%d", x, y, i % 50, 1 + i % 9)
                   : std::snprintf(line, sizeof line, "%.6e,%+.3f,%.1f,%.20g", x, y, unit(random),
                                   1.0 + unit(random));
    plain.append(line, static_cast<size_t>(length)).append("\n");
    carriageReturns.append(line, static_cast<size_t>(length)).append("\r\n");
  }
  const std::vector<double> fromMap = loadAndSmooth(plain, n);
  ASSERT_EQ(fromMap.size(), size_t(n));
  EXPECT_TRUE(fromMap == loadAndSmooth(carriageReturns, n));
}

}  // namespace
