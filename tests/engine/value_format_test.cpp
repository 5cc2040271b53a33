// The value text against printf("%lf") itself.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "engine/value_format.h"

namespace {

TEST(ValueFormat, WritesWhatPrintfWrites) {
  std::vector<double> values = {
      0.0, -0.0, 1.0, -1.0, 0.5, 4.5, 1e-7, -1e-7, 5e-7, 0.0000005, 0.0000015, 2.5e-6,
      0.0078125, -0.0078125, 1.0 / 128 + 1, 123456.0000005, 1e15 + 0.5, 1e22, 1e300,
      std::numeric_limits<double>::max(), -std::numeric_limits<double>::max(),
      std::numeric_limits<double>::denorm_min(), std::numeric_limits<double>::min(),
      std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
      std::numeric_limits<double>::quiet_NaN(), -std::numeric_limits<double>::quiet_NaN()};
  // Every exact tie at the sixth decimal up to 4 (odd multiples of 1/128).
  for (int k = 1; k < 512; k += 2) values.push_back(k / 128.0);
  std::mt19937_64 random(5);
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  std::uniform_int_distribution<int> exponent(-30, 60);
  for (int k = 0; k < 50000; ++k) values.push_back(std::ldexp(unit(random), exponent(random)));
  for (double value : values) {
    char want[kValueTextSize + 1];
    std::snprintf(want, sizeof want, "%lf", value);
    char got[kValueTextSize + 1];
    const size_t length = formatValue(value, got);
    EXPECT_EQ(std::string(got, length), std::string(want)) << value;
  }
}

}  // namespace
