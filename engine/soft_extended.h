// Extended precision in software: the 80-bit x87 format (a sign, a 15-bit
// exponent and a 64-bit significand whose integer bit is explicit) with the
// x87's arithmetic under its default control word, bit for bit: +, −, ×, ÷
// rounded to nearest, ties to even, after every operation, subnormal
// results, overflow to infinity, the x87's NaNs and signed zeros; exact
// conversion from double and int32_t, and conversion to double rounded as
// the x87 stores a double. extended.h makes it the engine's Extended where
// long double is not that format. A value holds only encodings that these
// operations make (never the x87's unnormals or pseudo-NaNs).
#ifndef TESSEL_ENGINE_SOFT_EXTENDED_H_
#define TESSEL_ENGINE_SOFT_EXTENDED_H_

#include <cstdint>

namespace tessel {

class SoftExtended {
 public:
  SoftExtended() = default;  // +0
  // Implicit, as double converts to long double: the value exactly.
  SoftExtended(double value);  // NOLINT(google-explicit-constructor)
  explicit SoftExtended(int32_t value) : SoftExtended(static_cast<double>(value)) {}

  // The nearest double (ties to even), subnormal or infinite where the
  // value lies beyond double's normal range.
  explicit operator double() const;

  // The x87 encoding: bit 15 of signExponent is the sign, its bits 0-14 the
  // biased exponent; bit 63 of the significand is the integer bit.
  static SoftExtended fromBits(uint16_t signExponent, uint64_t significand) {
    SoftExtended v;
    v.signExponent_ = signExponent;
    v.significand_ = significand;
    return v;
  }
  uint16_t signExponent() const { return signExponent_; }
  uint64_t significand() const { return significand_; }

  friend SoftExtended operator+(SoftExtended a, SoftExtended b) { return add(a, b, false); }
  friend SoftExtended operator-(SoftExtended a, SoftExtended b) { return add(a, b, true); }
  friend SoftExtended operator*(SoftExtended a, SoftExtended b) { return multiply(a, b); }
  friend SoftExtended operator/(SoftExtended a, SoftExtended b) { return divide(a, b); }

  // A NaN is unordered: every comparison with it is false but !=.
  friend bool operator<(SoftExtended a, SoftExtended b) { return compare(a, b) == kLess; }
  friend bool operator>(SoftExtended a, SoftExtended b) { return compare(a, b) == kGreater; }
  friend bool operator<=(SoftExtended a, SoftExtended b) {
    const Order o = compare(a, b);
    return o == kLess || o == kEqual;
  }
  friend bool operator>=(SoftExtended a, SoftExtended b) {
    const Order o = compare(a, b);
    return o == kGreater || o == kEqual;
  }
  friend bool operator==(SoftExtended a, SoftExtended b) { return compare(a, b) == kEqual; }
  friend bool operator!=(SoftExtended a, SoftExtended b) { return compare(a, b) != kEqual; }

 private:
  enum Order { kLess, kEqual, kGreater, kUnordered };

  static SoftExtended add(SoftExtended a, SoftExtended b, bool subtract);
  static SoftExtended multiply(SoftExtended a, SoftExtended b);
  static SoftExtended divide(SoftExtended a, SoftExtended b);
  static Order compare(SoftExtended a, SoftExtended b);

  uint64_t significand_ = 0;
  uint16_t signExponent_ = 0;
};

}  // namespace tessel

#endif  // TESSEL_ENGINE_SOFT_EXTENDED_H_
