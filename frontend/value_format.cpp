// Fixed six-decimal text of a value, as printf("%lf") writes it.
#include "frontend/value_format.h"

#include <charconv>
#include <cmath>
#include <cstdio>

size_t formatValue(double value, char* text) {
  if (std::isfinite(value)) {
    const std::to_chars_result r =
        std::to_chars(text, text + kValueTextSize, value, std::chars_format::fixed, 6);
    if (r.ec == std::errc()) return static_cast<size_t>(r.ptr - text);
  }
  const int length = std::snprintf(text, kValueTextSize, "%lf", value);
  return length < 0 ? 0 : static_cast<size_t>(length);
}
