// The value text against printf("%lf") itself.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "frontend/value_format.h"

namespace {

TEST(ValueFormat, WritesWhatPrintfWrites) {
  using Limits = std::numeric_limits<double>;
  const double big = Limits::max(), inf = Limits::infinity(), nan = Limits::quiet_NaN();
  std::vector<double> values = {
      0.0,        -0.0,           -1.0,       1e-7, -1e-7, 5e-7, 0.0000015, 2.5e-6,
      -0.0078125, 123456.0000005, 1e15 + 0.5, 1e22, 1e300, big,  -big,      Limits::denorm_min(),
      inf,        -inf,           nan,        -nan};
  // Every exact tie at the sixth decimal up to 4 (odd multiples of 1/128).
  for (int k = 1; k < 512; k += 2) values.push_back(k / 128.0);
  std::mt19937_64 random(5);
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  std::uniform_int_distribution<int> exponent(-30, 60);
  for (int k = 0; k < 50000; ++k) values.push_back(std::ldexp(unit(random), exponent(random)));
  // Random encodings from 2^-80 to 2^50 (the exact path ends at 2^43), and
  // ties of any size (odd multiples of 1/128) with their neighbours.
  for (int k = 0; k < 50000; ++k) {
    const uint64_t field = 1023 - 80 + random() % 131, bits = (random() >> 12) | field << 52;
    double value;
    std::memcpy(&value, &bits, sizeof value);
    const double tie = static_cast<double>((random() >> (14 + k % 40)) | 1) / 128.0;
    values.insert(values.end(), {k % 2 ? value : -value, tie, std::nextafter(tie, 0.0),
                                 std::nextafter(tie, inf)});
  }
  for (double value : values) {
    char want[kValueTextSize + 1];
    std::snprintf(want, sizeof want, "%lf", value);
    char got[kValueTextSize + 1];
    EXPECT_EQ(std::string(got, formatValue(value, got)), std::string(want)) << value;
  }
}

}  // namespace
