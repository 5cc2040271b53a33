// The integer steps of the software extended type (soft_extended.cpp)
// that plain 64-bit C++ lacks: leading zeros, the full product of two 64-bit integers and the
// quotient of a 128-bit integer by a 64-bit one. Compilers with a 128-bit
// integer type (GCC, Clang) use it; elsewhere (MSVC) the portable forms
// below, written with 64-bit operations alone, stand in. Both forms are
// always defined, so that the tests check one against the other.
#ifndef TESSEL_ENGINE_WIDE_INTEGER_H_
#define TESSEL_ENGINE_WIDE_INTEGER_H_

#include <cstdint>

namespace tessel {

// The number of zero bits above the highest one bit of x (64 for 0).
inline int leadingZeros(uint64_t x) {
#if defined(__GNUC__)
  return x == 0 ? 64 : __builtin_clzll(x);
#else
  int count = 0;
  for (uint64_t bit = uint64_t{1} << 63; bit != 0 && (x & bit) == 0; bit >>= 1) ++count;
  return count;
#endif
}

// a × b: returns the high 64 bits, *low gets the low 64 bits.
inline uint64_t multiplyWidePortable(uint64_t a, uint64_t b, uint64_t* low) {
  const uint64_t mask = 0xFFFFFFFFu;
  const uint64_t a0 = a & mask, a1 = a >> 32, b0 = b & mask, b1 = b >> 32;
  const uint64_t p00 = a0 * b0, p01 = a0 * b1, p10 = a1 * b0, p11 = a1 * b1;
  // The sum of three numbers below 2^32 each: no overflow.
  const uint64_t middle = (p00 >> 32) + (p01 & mask) + (p10 & mask);
  *low = (middle << 32) | (p00 & mask);
  return p11 + (p01 >> 32) + (p10 >> 32) + (middle >> 32);
}

// (high × 2^64 + low) / divisor for high < divisor (so that the quotient
// fits in 64 bits): returns the quotient, *remainder gets the remainder.
// Long division, one quotient bit at a time.
inline uint64_t divideWidePortable(uint64_t high, uint64_t low, uint64_t divisor,
                                   uint64_t* remainder) {
  uint64_t quotient = 0;
  for (int bit = 0; bit < 64; ++bit) {
    // The partial remainder doubled may pass 2^64; it is then surely at
    // least the divisor, and the subtraction wraps back below it.
    const bool carry = (high >> 63) != 0;
    high = (high << 1) | (low >> 63);
    low <<= 1;
    quotient <<= 1;
    if (carry || high >= divisor) {
      high -= divisor;
      quotient |= 1;
    }
  }
  *remainder = high;
  return quotient;
}

#if defined(__SIZEOF_INT128__)
__extension__ typedef unsigned __int128 WideUnsigned;

inline uint64_t multiplyWide(uint64_t a, uint64_t b, uint64_t* low) {
  const WideUnsigned product = static_cast<WideUnsigned>(a) * b;
  *low = static_cast<uint64_t>(product);
  return static_cast<uint64_t>(product >> 64);
}

inline uint64_t divideWide(uint64_t high, uint64_t low, uint64_t divisor, uint64_t* remainder) {
  const WideUnsigned dividend = (static_cast<WideUnsigned>(high) << 64) | low;
  *remainder = static_cast<uint64_t>(dividend % divisor);
  return static_cast<uint64_t>(dividend / divisor);
}
#else
inline uint64_t multiplyWide(uint64_t a, uint64_t b, uint64_t* low) {
  return multiplyWidePortable(a, b, low);
}

inline uint64_t divideWide(uint64_t high, uint64_t low, uint64_t divisor, uint64_t* remainder) {
  return divideWidePortable(high, low, divisor, remainder);
}
#endif

}  // namespace tessel

#endif  // TESSEL_ENGINE_WIDE_INTEGER_H_
