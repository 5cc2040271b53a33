// The text of a smoothed value, byte for byte what printf("%lf") writes:
// six decimals after the point, fixed notation. Owned by the result writer.
#ifndef TESSEL_FRONTEND_VALUE_FORMAT_H_
#define TESSEL_FRONTEND_VALUE_FORMAT_H_

#include <cstddef>

// Room formatValue needs: the largest double has 309 digits before the point.
constexpr size_t kValueTextSize = 330;

// Writes value as "%lf" would into text (not NUL-terminated) and returns the
// length. Finite values are converted exactly (both round the exact binary
// value to six decimals, ties to even); infinities and NaNs go to printf.
size_t formatValue(double value, char* text);

#endif  // TESSEL_FRONTEND_VALUE_FORMAT_H_
