// The x87 extended format's arithmetic on 64-bit integers.
#include "engine/soft_extended.h"

#include <cstring>

#include "engine/wide_integer.h"

namespace tessel {
namespace {

constexpr int32_t kBias = 16383;
constexpr uint16_t kMaxField = 0x7FFF;  // the exponent of infinities and NaNs
constexpr uint64_t kIntegerBit = uint64_t{1} << 63;
constexpr uint64_t kQuietBit = uint64_t{1} << 62;
// Half a unit in the last place, as bits below the significand held in a
// 64-bit word whose top bit is the first of them.
constexpr uint64_t kHalf = uint64_t{1} << 63;

uint16_t fieldOf(SoftExtended v) { return v.signExponent() & kMaxField; }
bool signOf(SoftExtended v) { return (v.signExponent() >> 15) != 0; }
bool isNaN(SoftExtended v) { return fieldOf(v) == kMaxField && (v.significand() << 1) != 0; }
bool isInfinite(SoftExtended v) { return fieldOf(v) == kMaxField && (v.significand() << 1) == 0; }
bool isZero(SoftExtended v) { return fieldOf(v) == 0 && v.significand() == 0; }

SoftExtended make(bool negative, uint16_t field, uint64_t significand) {
  return SoftExtended::fromBits(static_cast<uint16_t>((negative ? 0x8000 : 0) | field),
                                significand);
}
SoftExtended zero(bool negative) { return make(negative, 0, 0); }
SoftExtended infinity(bool negative) { return make(negative, kMaxField, kIntegerBit); }
SoftExtended withSign(SoftExtended v, bool negative) {
  return make(negative, fieldOf(v), v.significand());
}
// The x87's default NaN, the result of an invalid operation (∞ − ∞, 0 × ∞,
// 0 / 0, ∞ / ∞): negative, quiet, no payload.
SoftExtended defaultNaN() { return make(true, kMaxField, kIntegerBit | kQuietBit); }

// The result of an operation on a NaN, as the x87 chooses it: of two NaNs
// the quiet one before a signaling one, else the one with the larger
// significand (the positive one on a tie); quieted, its sign kept.
SoftExtended propagateNaN(SoftExtended a, SoftExtended b) {
  SoftExtended chosen = isNaN(a) ? a : b;
  if (isNaN(a) && isNaN(b)) {
    const bool aQuiet = (a.significand() & kQuietBit) != 0;
    const bool bQuiet = (b.significand() & kQuietBit) != 0;
    if (aQuiet != bQuiet) {
      chosen = aQuiet ? a : b;
    } else if (b.significand() > a.significand() ||
               (b.significand() == a.significand() && !signOf(b))) {
      chosen = b;
    }
  }
  return SoftExtended::fromBits(chosen.signExponent(), chosen.significand() | kQuietBit);
}

// A finite nonzero value as significand × 2^(exponent − 63) with the
// significand in [2^63, 2^64): subnormal values are normalized, their
// exponent then lies below the format's range.
struct Unpacked {
  int32_t exponent;
  uint64_t significand;
};

Unpacked unpack(SoftExtended v) {
  const uint16_t field = fieldOf(v);
  if (field != 0) return {field - kBias, v.significand()};
  // Subnormal: the exponent of the smallest normal, no integer bit.
  const int shift = leadingZeros(v.significand());
  return {1 - kBias - shift, v.significand() << shift};
}

// Shifts the 128-bit high:low right by count >= 0 bits, or-ing every bit
// shifted out into the lowest bit of low ("sticky"), so that rounding still
// sees whether anything below was nonzero.
void shiftRightSticky(uint64_t& high, uint64_t& low, int32_t count) {
  if (count <= 0) return;
  uint64_t lost;
  if (count >= 128) {
    lost = high | low;
    low = 0;
    high = 0;
  } else if (count >= 64) {
    lost = low | (count > 64 ? high << (128 - count) : 0);
    low = count == 64 ? high : high >> (count - 64);
    high = 0;
  } else {
    lost = low << (64 - count);
    low = (high << (64 - count)) | (low >> count);
    high >>= count;
  }
  low |= lost != 0 ? 1 : 0;
}

// The value (significand + rest / 2^64) × 2^(exponent − 63), significand in
// [2^63, 2^64), rounded to nearest, ties to even: at the significand's last
// bit, or below the smallest normal exponent at the last bit a subnormal
// keeps; past the largest finite value, infinity. rest's lowest bit is set
// when the exact value had nonzero bits below it.
SoftExtended roundToFormat(bool negative, int32_t exponent, uint64_t significand, uint64_t rest) {
  int32_t field = exponent + kBias;
  if (field >= kMaxField) return infinity(negative);
  if (field <= 0) {
    shiftRightSticky(significand, rest, 1 - field);
    field = 0;
  }
  // Computed, not branched on: whether to round up is a coin toss.
  const uint64_t up = (rest > kHalf ? 1 : 0) | (rest == kHalf ? significand & 1 : 0);
  significand += up;
  if (up != 0 && significand == 0) {
    // 2^64: the integer bit at the next exponent.
    significand = kIntegerBit;
    if (++field == kMaxField) return infinity(negative);
  } else if (field == 0 && significand == kIntegerBit) {
    field = 1;  // a subnormal rounded up to the smallest normal
  }
  return make(negative, static_cast<uint16_t>(field), significand);
}

}  // namespace

SoftExtended::SoftExtended(double value) {
  uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  const bool negative = (bits >> 63) != 0;
  const int32_t field = static_cast<int32_t>((bits >> 52) & 0x7FF);
  const uint64_t fraction = bits & ((uint64_t{1} << 52) - 1);
  if (field == 0x7FF) {
    // Infinity, or a NaN with its payload, quieted.
    *this =
        make(negative, kMaxField, kIntegerBit | (fraction << 11) | (fraction != 0 ? kQuietBit : 0));
  } else if (field != 0) {
    *this =
        make(negative, static_cast<uint16_t>(field - 1023 + kBias), kIntegerBit | (fraction << 11));
  } else if (fraction == 0) {
    *this = zero(negative);
  } else {
    // A subnormal double, fraction × 2^−1074, is normal here.
    const int shift = leadingZeros(fraction);
    *this = make(negative, static_cast<uint16_t>(-1011 - shift + kBias), fraction << shift);
  }
}

SoftExtended::operator double() const {
  const uint64_t sign = static_cast<uint64_t>(signOf(*this)) << 63;
  const uint64_t infinityBits = uint64_t{0x7FF} << 52;
  uint64_t bits = 0;
  if (isNaN(*this)) {
    // The payload's upper bits, quieted.
    bits = infinityBits | (uint64_t{1} << 51) | ((significand_ >> 11) & ((uint64_t{1} << 52) - 1));
  } else if (isInfinite(*this)) {
    bits = infinityBits;
  } else if (!isZero(*this)) {
    const Unpacked x = unpack(*this);
    // Bits of the significand that double has no room for: 11 in the
    // normal range, more for a subnormal result.
    const int32_t dropped = x.exponent >= -1022 ? 11 : 11 + (-1022 - x.exponent);
    if (x.exponent > 1023) {
      bits = infinityBits;
    } else if (dropped <= 64) {
      uint64_t kept = dropped == 64 ? 0 : x.significand >> dropped;
      const uint64_t lost = dropped == 64 ? x.significand : x.significand << (64 - dropped);
      if (lost > kHalf || (lost == kHalf && (kept & 1) != 0)) ++kept;
      // A normal result's integer bit adds one to the exponent field, as
      // does a carry out of the significand (to infinity from the largest
      // exponent); a subnormal that rounds up to 2^52 becomes the
      // smallest normal.
      bits = x.exponent >= -1022 ? (static_cast<uint64_t>(x.exponent + 1022) << 52) + kept : kept;
      if (bits > infinityBits) bits = infinityBits;
    }
    // Below half the smallest subnormal (more than 64 bits dropped): zero.
  }
  bits |= sign;
  double value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

SoftExtended SoftExtended::add(SoftExtended a, SoftExtended b, bool subtract) {
  if (isNaN(a) || isNaN(b)) return propagateNaN(a, b);
  const bool aNegative = signOf(a);
  const bool bNegative = signOf(b) != subtract;
  if (isInfinite(a) || isInfinite(b)) {
    if (isInfinite(a) && isInfinite(b) && aNegative != bNegative) return defaultNaN();
    return isInfinite(a) ? a : infinity(bNegative);
  }
  if (isZero(b)) return isZero(a) ? zero(aNegative && bNegative) : a;
  if (isZero(a)) return withSign(b, bNegative);

  // x is the operand of the larger magnitude; y is aligned to its exponent.
  const Unpacked ua = unpack(a), ub = unpack(b);
  // Selected, not branched on: which is larger is a coin toss.
  const bool swap =
      ub.exponent > ua.exponent || (ub.exponent == ua.exponent && ub.significand > ua.significand);
  const Unpacked x = {swap ? ub.exponent : ua.exponent, swap ? ub.significand : ua.significand};
  const Unpacked y = {swap ? ua.exponent : ub.exponent, swap ? ua.significand : ub.significand};
  const bool negative = swap ? bNegative : aNegative;
  const int32_t gap = x.exponent - y.exponent;
  uint64_t high = y.significand, low = 0;
  if (gap < 64) {
    // No bit falls off the 128: nothing for the sticky bit.
    low = gap == 0 ? 0 : high << (64 - gap);
    high >>= gap;
  } else {
    shiftRightSticky(high, low, gap);
  }

  if (aNegative == bNegative) {
    uint64_t sum = x.significand + high;
    if (sum < high) {
      // Carried out, so y moved fewer than 64 places and low's last bit is
      // zero: one bit right loses nothing.
      low = (sum << 63) | (low >> 1);
      sum = kIntegerBit | (sum >> 1);
      return roundToFormat(negative, x.exponent + 1, sum, low);
    }
    return roundToFormat(negative, x.exponent, sum, low);
  }

  // The difference of the magnitudes, exact: 128 bits hold it, and where
  // the sticky bit stands for lost bits the shift left below is at most one.
  uint64_t rest = 0 - low;
  uint64_t difference = x.significand - high - (low != 0 ? 1 : 0);
  if (difference == 0 && rest == 0) return zero(false);
  const int shift = difference != 0 ? leadingZeros(difference) : 64 + leadingZeros(rest);
  if (shift >= 64) {
    difference = rest << (shift - 64);
    rest = 0;
  } else if (shift > 0) {
    difference = (difference << shift) | (rest >> (64 - shift));
    rest <<= shift;
  }
  return roundToFormat(negative, x.exponent - shift, difference, rest);
}

SoftExtended SoftExtended::multiply(SoftExtended a, SoftExtended b) {
  if (isNaN(a) || isNaN(b)) return propagateNaN(a, b);
  const bool negative = signOf(a) != signOf(b);
  if (isInfinite(a) || isInfinite(b)) {
    return isZero(a) || isZero(b) ? defaultNaN() : infinity(negative);
  }
  if (isZero(a) || isZero(b)) return zero(negative);
  const Unpacked x = unpack(a), y = unpack(b);
  // The product of the significands lies in [2^126, 2^128).
  uint64_t low;
  uint64_t high = multiplyWide(x.significand, y.significand, &low);
  int32_t exponent = x.exponent + y.exponent + 1;
  if ((high & kIntegerBit) == 0) {
    high = (high << 1) | (low >> 63);
    low <<= 1;
    --exponent;
  }
  return roundToFormat(negative, exponent, high, low);
}

SoftExtended SoftExtended::divide(SoftExtended a, SoftExtended b) {
  if (isNaN(a) || isNaN(b)) return propagateNaN(a, b);
  const bool negative = signOf(a) != signOf(b);
  if (isInfinite(a)) return isInfinite(b) ? defaultNaN() : infinity(negative);
  if (isInfinite(b)) return zero(negative);
  if (isZero(b)) return isZero(a) ? defaultNaN() : infinity(negative);
  if (isZero(a)) return zero(negative);
  const Unpacked x = unpack(a), y = unpack(b);
  // A quotient of 64 significant bits: x × 2^63 / y when x's significand
  // is the larger, else x × 2^64 / y; then the next 64 bits and whether
  // any remain.
  int32_t exponent = x.exponent - y.exponent;
  uint64_t remainder;
  uint64_t quotient;
  if (x.significand >= y.significand) {
    quotient = divideWide(x.significand >> 1, x.significand << 63, y.significand, &remainder);
  } else {
    quotient = divideWide(x.significand, 0, y.significand, &remainder);
    --exponent;
  }
  uint64_t last;
  uint64_t rest = divideWide(remainder, 0, y.significand, &last);
  rest |= last != 0 ? 1 : 0;
  return roundToFormat(negative, exponent, quotient, rest);
}

SoftExtended::Order SoftExtended::compare(SoftExtended a, SoftExtended b) {
  if (isNaN(a) || isNaN(b)) return kUnordered;
  if (isZero(a) && isZero(b)) return kEqual;  // +0 == −0
  const bool aNegative = signOf(a);
  if (aNegative != signOf(b)) return aNegative ? kLess : kGreater;
  // Magnitudes order as their (exponent, significand) pairs.
  const uint16_t aField = fieldOf(a), bField = fieldOf(b);
  Order magnitude = kEqual;
  if (aField != bField) {
    magnitude = aField < bField ? kLess : kGreater;
  } else if (a.significand_ != b.significand_) {
    magnitude = a.significand_ < b.significand_ ? kLess : kGreater;
  }
  if (!aNegative || magnitude == kEqual) return magnitude;
  return magnitude == kLess ? kGreater : kLess;
}

}  // namespace tessel
