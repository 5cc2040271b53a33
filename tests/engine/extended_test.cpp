// The software extended type against the x87 hardware, bit for bit: one
// generator makes operands of every shape the arithmetic treats differently
// (random encodings, runs of equal bits, exact product ties, subnormal
// results, differences that lose their top bit, ties for the conversion to
// double, values from doubles and ints), and one loop checks every
// operation, comparison and conversion on them. (The engine's formulas as
// a whole are the long-double-as-double build's: it must print the normal
// build's bytes.) Where the compiler has no x87 type only the 128-bit
// integer steps are checked.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <ostream>
#include <random>

#include "engine/extended.h"
#include "engine/wide_integer.h"

using namespace tessel;

namespace {

#if defined(__GNUC__) && !defined(__clang__) && (defined(__x86_64__) || defined(__i386__))
__extension__ typedef __float80 X87;  // whatever long double is
constexpr bool kHaveX87 = true;
#else
typedef long double X87;
constexpr bool kHaveX87 =
    std::numeric_limits<long double>::digits == 64 && sizeof(long double) >= 10;
#endif

// A value's x87 encoding and the bits of the double it converts to.
struct Bits {
  uint64_t significand, signExponent, asDouble;
  bool operator==(const Bits& o) const { return std::memcmp(this, &o, sizeof o) == 0; }
};
std::ostream& operator<<(std::ostream& s, const Bits& b) {
  return s << std::hex << b.signExponent << ":" << b.significand << " (" << b.asDouble << ")";
}
template <typename T>
Bits bits(T v, uint64_t significand, uint64_t signExponent) {
  Bits b = {significand, signExponent, 0};
  const double d = static_cast<double>(v);
  std::memcpy(&b.asDouble, &d, sizeof d);
  return b;
}
Bits bits(SoftExtended v) { return bits(v, v.significand(), v.signExponent()); }
// The x87 stores the significand, then sign and exponent (sizes taken so
// that a build without the x87 type compiles too).
Bits bits(X87 h) {
  uint64_t e[2] = {};
  std::memcpy(e, &h, std::min(sizeof h, size_t{10}));
  return bits(h, e[0], e[1]);
}
X87 hardware(SoftExtended v) {
  const uint64_t e[2] = {v.significand(), v.signExponent()};
  X87 h;
  std::memcpy(&h, e, std::min(sizeof h, sizeof e));
  return h;
}

using Random = std::mt19937_64;
bool coin(Random& r) { return r() % 2 == 0; }
int below(Random& r, int n) { return static_cast<int>(r() % static_cast<uint64_t>(n)); }

// Random bits, runs of ones and zeros (sums and products on and beside
// ties), or few bits set.
uint64_t randomSignificand(Random& r) {
  if (coin(r)) return r();
  if (coin(r)) return (uint64_t{1} << below(r, 64)) | (uint64_t{1} << below(r, 64)) | (r() & 3);
  uint64_t v = coin(r) ? 0 : ~uint64_t{0};
  for (int flips = below(r, 5); flips > 0; --flips) v ^= ~uint64_t{0} >> below(r, 64);
  return v;
}
// An exponent field anywhere, or near the middle, 0 (subnormals) or 0x7FFF
// (overflow, infinities and NaNs).
int randomField(Random& r) {
  const int kind = below(r, 4), bases[] = {16383, 0, 0x7FFE};
  return kind == 3 ? below(r, 0x8000) : bases[kind] + below(r, 140) - 70;
}
// An odd number of n bits at the top of a significand.
uint64_t oddTop(Random& r, int n) {
  return ((r() | 1 | (uint64_t{1} << (n - 1))) & (~uint64_t{0} >> (64 - n))) << (64 - n);
}
// The field of b that puts a × b (or a / b) at the field `target`.
int fieldFor(int aField, int target, bool product) {
  return std::max(1, std::min(0x7FFE, product ? target - aField + 16383 : aField - target + 16383));
}
// A double of random bits, a quarter subnormal or zero, some infinite or NaN.
double randomDouble(Random& r) {
  const uint64_t v = (r() & (below(r, 4) ? ~uint64_t{0} : 0x800FFFFFFFFFFFFFu)) |
                     (below(r, 16) ? 0 : uint64_t{0x7FF} << 52);
  double d;
  std::memcpy(&d, &v, sizeof d);
  return d;
}

// Operands of one shape (numbered as in kShapes below): a and b made from
// a sign, an exponent field and a significand each, or in[] for the shapes
// made from doubles and ints.
void generate(int shape, Random& r, SoftExtended& a, SoftExtended& b, double* in) {
  bool sa = coin(r), sb = coin(r);
  int fa = randomField(r), fb = randomField(r), n = 2 + below(r, 62), any = 1 + below(r, 0x7FFE);
  uint64_t ma = randomSignificand(r), mb = randomSignificand(r);
  switch (shape) {
    case 1:  // sums and differences that cancel, carry out or round at a tie
      fb = fa - below(r, below(r, 4) == 0 ? 200 : 70);
      break;
    case 2:  // odd significands whose product has 65 or 66 bits, any exponent
      ma = oddTop(r, n), mb = oddTop(r, std::min(64, 65 - n + below(r, 2)));
      fb = fieldFor(fa = any, fb, true);
      break;
    case 3:  // products and quotients among the subnormals
      fb = fieldFor(fa = any, below(r, 140) - 70, coin(r));
      break;
    case 4: {  // a power of two or ones, less or more a value 60-70 places below
      const uint64_t tops[] = {uint64_t{1} << 63, ~uint64_t{0}, (uint64_t{1} << 63) | 1};
      ma = tops[below(r, 3)], mb = coin(r) ? (uint64_t{1} << 63) | (r() & 3) : mb;
      sb = below(r, 4) == 0 ? sa : !sa, fb = fa - 60 - below(r, 11);
      break;
    }
    case 5:  // 50-57 significant bits: ties for double, normal, subnormal, too large
      fa = 15283 + any % 2200, ma = oddTop(r, 50 + below(r, 8)), fb = fa - 64 + below(r, 8);
      break;
    case 6:  // a double and a double or an int32_t
      in[0] = randomDouble(r), in[1] = sb ? randomDouble(r) : static_cast<int32_t>(r());
      in[2] = sb;
      return;
  }
  // Zero or subnormal at field <= 0, infinity or NaN at 0x7FFF and above.
  fa = std::max(0, std::min(0x7FFF, fa)), fb = std::max(0, std::min(0x7FFF, fb));
  const uint64_t top = uint64_t{1} << 63;
  a = SoftExtended::fromBits(static_cast<uint16_t>(sa << 15 | fa), fa ? ma | top : ma & ~top);
  b = SoftExtended::fromBits(static_cast<uint16_t>(sb << 15 | fb), fb ? mb | top : mb & ~top);
}

// The results to compare, in type T: the operands (converted from in[] for
// the shape made from doubles and ints) and the operations on them.
template <typename T>
void evaluate(int shape, T a, T b, const double* in, T* out) {
  if (shape == 6) a = in[0], b = in[2] != 0 ? T(in[1]) : T(static_cast<int32_t>(in[1]));
  out[0] = a, out[1] = b, out[2] = a + b, out[3] = a - b, out[4] = a * b, out[5] = a / b;
}
template <typename T>
unsigned order(T a, T b) {
  return (a < b) | (a <= b) << 1 | (a > b) << 2 | (a >= b) << 3 | (a == b) << 4 | (a != b) << 5;
}

TEST(SoftExtended, EqualsTheX87BitForBit) {
  if (!kHaveX87) GTEST_SKIP() << "no x87 extended type to compare with";
  const std::pair<const char*, int> kShapes[] = {
      {"random encodings", 750000},  {"aligned exponents", 450000},  {"product ties", 450000},
      {"subnormal results", 450000}, {"near powers of two", 450000}, {"double ties", 250000},
      {"doubles and ints", 450000}};
  Random r(29);
  for (int shape = 0; shape < 7; ++shape) {
    int64_t failed = 0;
    SoftExtended a, b, got[6];
    X87 want[6] = {};
    double in[3] = {};
    for (int k = 0; k < kShapes[shape].second; ++k) {
      // Every third pair takes the last result as its first operand.
      const SoftExtended previous = got[2 + k % 4];
      generate(shape, r, a, b, in);
      if (k % 3 == 2) a = previous;
      evaluate(shape, a, b, in, got);
      evaluate(shape, hardware(a), hardware(b), in, want);
      for (int j = 0; j <= 6; ++j) {  // the results, then the comparisons
        const bool same = j < 6 ? bits(got[j]) == bits(want[j])
                                : order(got[0], got[1]) == order(want[0], want[1]);
        if (!same && ++failed <= 3) {
          ADD_FAILURE() << kShapes[shape].first << ", result " << j << " of " << bits(got[0])
                        << ", " << bits(got[1]) << ": " << bits(got[j]) << ", x87 "
                        << bits(want[j]);
        }
      }
    }
    EXPECT_EQ(failed, 0) << kShapes[shape].first << ": " << failed << " mismatches";
  }
}

// The portable 128-bit steps (for compilers without 128-bit integers)
// against the compiler's.
TEST(WideInteger, PortableFormsEqualTheBuiltIn) {
#if defined(__SIZEOF_INT128__)
  Random r(32);
  for (int k = 0; k < 1000000; ++k) {
    const uint64_t a = randomSignificand(r), b = randomSignificand(r);
    const uint64_t divisor = b | (k % 2 == 0 ? uint64_t{1} << 63 : 1);
    const uint64_t top = k % 3 == 0 ? divisor - 1 : a % divisor;
    uint64_t w[4];
    ASSERT_EQ(multiplyWidePortable(a, b, &w[0]), multiplyWide(a, b, &w[1])) << a << " * " << b;
    ASSERT_EQ(divideWidePortable(top, a, divisor, &w[2]), divideWide(top, a, divisor, &w[3]))
        << top << ":" << a << " / " << divisor;
    ASSERT_TRUE(w[0] == w[1] && w[2] == w[3]) << a << ", " << b << ", " << top;
  }
#else
  GTEST_SKIP() << "no 128-bit integers to compare with";
#endif
}

}  // namespace
