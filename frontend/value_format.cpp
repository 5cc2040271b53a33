// Fixed six-decimal text of a value, as printf("%lf") writes it.
#include "frontend/value_format.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

// The text of a value below 2^43 in magnitude (every rate a table is
// likely to hold): the value times 10^6 rounded to a whole number, ties to
// even, in exact integer arithmetic, then written out. A double is m / 2^s
// with m below 2^53, so m × 10^6 fits 73 bits and the rounding is decided
// by the bits shifted out. False for larger values and where the compiler
// has no 128-bit integers: those go to the library.
bool formatSmall(double value, char* text, size_t* length) {
#if defined(__SIZEOF_INT128__)
  __extension__ typedef unsigned __int128 Wide;
  uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  const int field = static_cast<int>(bits >> 52) & 0x7FF;
  uint64_t m = bits & ((uint64_t{1} << 52) - 1);
  int shift = 1074;  // zero and the subnormals
  if (field != 0) {
    m |= uint64_t{1} << 52;
    shift = 1075 - field;
  }
  // Below 10 the value may reach 2^43 (and infinities and NaNs lie there).
  if (shift < 10) return false;
  uint64_t scaled = 0;  // |value| × 10^6, rounded
  // From 74 on, m × 10^6 < 2^73 is less than half of 2^shift: it rounds to 0.
  if (shift < 74) {
    const Wide product = static_cast<Wide>(m) * 1000000u;
    const Wide half = static_cast<Wide>(1) << (shift - 1);
    const Wide rest = product & ((half << 1) - 1);
    scaled = static_cast<uint64_t>(product >> shift);
    scaled += rest > half || (rest == half && (scaled & 1) != 0);
  }
  char* out = text;
  if (bits >> 63) *out++ = '-';
  uint64_t whole = scaled / 1000000;
  uint32_t fraction = static_cast<uint32_t>(scaled % 1000000);
  char digits[20];
  int count = 0;
  do {
    digits[count++] = static_cast<char>('0' + whole % 10);
    whole /= 10;
  } while (whole != 0);
  while (count > 0) *out++ = digits[--count];
  *out++ = '.';
  for (int k = 5; k >= 0; --k) {
    out[k] = static_cast<char>('0' + fraction % 10);
    fraction /= 10;
  }
  *length = static_cast<size_t>(out + 6 - text);
  return true;
#else
  (void)value;
  (void)text;
  (void)length;
  return false;
#endif
}

}  // namespace

size_t formatValue(double value, char* text) {
  size_t length = 0;
  if (formatSmall(value, text, &length)) return length;
  if (std::isfinite(value)) {
    const std::to_chars_result r =
        std::to_chars(text, text + kValueTextSize, value, std::chars_format::fixed, 6);
    if (r.ec == std::errc()) return static_cast<size_t>(r.ptr - text);
  }
  const int printed = std::snprintf(text, kValueTextSize, "%lf", value);
  return printed < 0 ? 0 : static_cast<size_t>(printed);
}
