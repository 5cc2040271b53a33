// The software extended type against the x87 hardware, bit for bit, on
// millions of operands of every shape the arithmetic treats differently:
// random encodings, significands made of runs of equal bits, products that
// land exactly on a tie, differences that lose their top bit, subnormal
// results, overflow and underflow,
// infinities, NaNs and zeros, values converted from doubles, and the
// engine's own formulas. Where the compiler has no x87 type (Clang with
// -mlong-double-64, other processors) only the 128-bit integer steps are
// checked.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <type_traits>
#include <utility>

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

// The x87 encoding's ten bytes: the significand, then sign and exponent.
// (Sized so that a build without the x87 type still compiles this.)
constexpr size_t kX87Bytes = sizeof(X87) > 10 ? sizeof(X87) : 10;

X87 hardware(SoftExtended v) {
  unsigned char bytes[kX87Bytes] = {};
  const uint64_t significand = v.significand();
  const uint16_t signExponent = v.signExponent();
  std::memcpy(bytes, &significand, 8);
  std::memcpy(bytes + 8, &signExponent, 2);
  X87 h;
  std::memcpy(&h, bytes, sizeof h);
  return h;
}

SoftExtended soft(X87 h) {
  unsigned char bytes[kX87Bytes] = {};
  std::memcpy(bytes, &h, sizeof h);
  uint64_t significand;
  uint16_t signExponent;
  std::memcpy(&significand, bytes, 8);
  std::memcpy(&signExponent, bytes + 8, 2);
  return SoftExtended::fromBits(signExponent, significand);
}

bool sameBits(SoftExtended a, SoftExtended b) {
  return a.significand() == b.significand() && a.signExponent() == b.signExponent();
}

bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

std::string text(SoftExtended v) {
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%04x:%016llx", v.signExponent(),
                static_cast<unsigned long long>(v.significand()));
  return buffer;
}

std::string text(double d) {
  uint64_t bits;
  std::memcpy(&bits, &d, sizeof bits);
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%a (%016llx)", d, static_cast<unsigned long long>(bits));
  return buffer;
}

// Mismatches of one generator: counted per operation, the first few shown.
struct Tally {
  std::string generator;
  int64_t checked = 0;
  int64_t failed = 0;
  void fail(const std::string& what) {
    if (++failed <= 5) ADD_FAILURE() << generator << ": " << what;
  }
};

// Every operation on the pair (a, b) in both types; returns a + b, a − b,
// a × b or a / b (by turns) for use as a later operand.
SoftExtended checkPair(SoftExtended a, SoftExtended b, Tally& t, int turn) {
  const X87 ha = hardware(a), hb = hardware(b);
  const SoftExtended got[4] = {a + b, a - b, a * b, a / b};
  const X87 want[4] = {ha + hb, ha - hb, ha * hb, ha / hb};
  const char* names[4] = {" + ", " - ", " * ", " / "};
  for (int k = 0; k < 4; ++k) {
    ++t.checked;
    if (!sameBits(got[k], soft(want[k]))) {
      t.fail(text(a) + names[k] + text(b) + " = " + text(got[k]) + ", x87 " + text(soft(want[k])));
    }
    const double gotDouble = static_cast<double>(got[k]);
    const double wantDouble = static_cast<double>(want[k]);
    if (!sameBits(gotDouble, wantDouble)) {
      t.fail("double(" + text(got[k]) + ") = " + text(gotDouble) + ", x87 " + text(wantDouble));
    }
  }
  const bool gotOrder[6] = {a<b, a <= b, a> b, a >= b, a == b, a != b};
  const bool wantOrder[6] = {ha<hb, ha <= hb, ha> hb, ha >= hb, ha == hb, ha != hb};
  if (std::memcmp(gotOrder, wantOrder, sizeof gotOrder) != 0) {
    t.fail("comparisons of " + text(a) + " and " + text(b));
  }
  ++t.checked;
  return got[turn % 4];
}

// A significand of random bits, or of long runs of ones and zeros (whose
// sums, differences and products fall on and beside ties), or with few
// bits set.
uint64_t randomSignificand(std::mt19937_64& random) {
  switch (random() % 3) {
    case 0:
      return random();
    case 1: {
      uint64_t bits = random() % 2 == 0 ? 0 : ~uint64_t{0};
      for (int flips = static_cast<int>(random() % 5); flips > 0; --flips) {
        bits ^= ~uint64_t{0} >> (random() % 64);
      }
      return bits;
    }
    default:
      return (uint64_t{1} << (random() % 64)) | (uint64_t{1} << (random() % 64)) |
             (random() % 4 == 0 ? random() & 0xFF : 0);
  }
}

// An encoding the arithmetic can make: normal (integer bit set), subnormal
// or zero (exponent 0, integer bit clear), infinity or NaN (exponent all
// ones, integer bit set).
SoftExtended canonical(bool negative, int field, uint64_t significand) {
  if (field <= 0) {
    field = 0;
    significand &= ~(uint64_t{1} << 63);
  } else if (field >= 0x7FFF) {
    field = 0x7FFF;
    significand |= uint64_t{1} << 63;
  } else {
    significand |= uint64_t{1} << 63;
  }
  return SoftExtended::fromBits(static_cast<uint16_t>((negative ? 0x8000 : 0) | field),
                                significand);
}

// An exponent field: anywhere, near the middle, or near either end.
int randomField(std::mt19937_64& random) {
  const int offset = static_cast<int>(random() % 140) - 70;
  switch (random() % 4) {
    case 0:
      return static_cast<int>(random() % 0x8000);
    case 1:
      return 16383 + offset;
    case 2:
      return offset;  // subnormals and zeros at or below 0
    default:
      return 0x7FFE + offset;  // overflow, infinities and NaNs at or above 0x7FFF
  }
}

SoftExtended randomEncoding(std::mt19937_64& random) {
  return canonical(random() % 2 == 0, randomField(random), randomSignificand(random));
}

// A double of random bits, most of them finite and some subnormal.
double randomDouble(std::mt19937_64& random) {
  uint64_t bits = random();
  if (random() % 4 == 0) bits &= 0x800FFFFFFFFFFFFFu;   // subnormal or zero
  if (random() % 16 == 0) bits |= 0x7FF0000000000000u;  // infinity or NaN
  double d;
  std::memcpy(&d, &bits, sizeof d);
  return d;
}

// An odd number of `bits` bits placed at the top of a significand.
uint64_t oddTop(std::mt19937_64& random, int bits) {
  const uint64_t odd = (random() | 1 | (uint64_t{1} << (bits - 1))) & (~uint64_t{0} >> (64 - bits));
  return odd << (64 - bits);
}

// Operand pairs, one generator each.
using Generator = std::function<std::pair<SoftExtended, SoftExtended>(std::mt19937_64&)>;

struct Case {
  const char* name;
  int64_t pairs;
  Generator next;
};

// Operands near each other's exponent or far below it: sums and
// differences that cancel, round at a tie or carry out.
std::pair<SoftExtended, SoftExtended> aligned(std::mt19937_64& random) {
  const int field = randomField(random);
  const int gap = static_cast<int>(random() % 4 == 0 ? random() % 200 : random() % 70);
  return {canonical(random() % 2 == 0, field, randomSignificand(random)),
          canonical(random() % 2 == 0, field - gap, randomSignificand(random))};
}

// A second exponent field that puts a × b (or, by turns, a / b) at the
// exponent field `target`, within the format's range.
int fieldFor(int aField, int target, bool product) {
  const int field = product ? target - aField + 16383 : aField - target + 16383;
  return std::max(1, std::min(0x7FFE, field));
}

// Products of exactly 65 or 66 significant bits (odd significands of k and
// 65 − k or 66 − k bits): ties and the values beside them, at every
// exponent, subnormal results among them.
std::pair<SoftExtended, SoftExtended> productTies(std::mt19937_64& random) {
  const int k = 2 + static_cast<int>(random() % 62);
  const int rest = std::min(64, 65 - k + static_cast<int>(random() % 2));
  const int field = 1 + static_cast<int>(random() % 0x7FFE);
  return {canonical(random() % 2 == 0, field, oddTop(random, k)),
          canonical(random() % 2 == 0, fieldFor(field, randomField(random), true),
                    oddTop(random, rest))};
}

// Products and quotients that land among the subnormals, where rounding
// drops more bits and the sticky bit stands for many of them.
std::pair<SoftExtended, SoftExtended> subnormalResults(std::mt19937_64& random) {
  const int field = 1 + static_cast<int>(random() % 0x7FFE);
  const int target = static_cast<int>(random() % 140) - 70;
  return {canonical(random() % 2 == 0, field, randomSignificand(random)),
          canonical(random() % 2 == 0, fieldFor(field, target, random() % 2 == 0),
                    randomSignificand(random))};
}

// A power of two, or a significand of ones, less or more a value 60 to
// 70 binary places below it: the difference loses its top bit, and bits
// shifted past the 128 that are kept decide the rounding.
std::pair<SoftExtended, SoftExtended> nearPowersOfTwo(std::mt19937_64& random) {
  const int field = randomField(random);
  const uint64_t tops[] = {uint64_t{1} << 63, ~uint64_t{0}, (uint64_t{1} << 63) | 1};
  const bool negative = random() % 2 == 0;
  // Half a unit of the last place, a little more, or random bits.
  const uint64_t below = random() % 2 == 0 ? (uint64_t{1} << 63) | (random() % 4) : random();
  return {canonical(negative, field, tops[random() % 3]),
          canonical(random() % 4 == 0 ? negative : !negative,
                    field - 60 - static_cast<int>(random() % 11), below)};
}

// Values with 54 significant bits, exact ties for the conversion to double,
// in double's normal and subnormal ranges and past its largest value.
std::pair<SoftExtended, SoftExtended> doubleTies(std::mt19937_64& random) {
  const int field = 16383 + static_cast<int>(random() % 2200) - 1100;
  const int bits = 50 + static_cast<int>(random() % 8);
  return {canonical(random() % 2 == 0, field, oddTop(random, bits)),
          canonical(random() % 2 == 0, field - 64 + static_cast<int>(random() % 8),
                    randomSignificand(random))};
}

std::pair<SoftExtended, SoftExtended> fromDoubles(std::mt19937_64& random) {
  return {SoftExtended(randomDouble(random)), SoftExtended(randomDouble(random))};
}

TEST(SoftExtended, EqualsTheX87BitForBit) {
  if (!kHaveX87) GTEST_SKIP() << "no x87 extended type to compare with";
  const Case cases[] = {
      {"random encodings", 1000000,
       [](std::mt19937_64& r) { return std::make_pair(randomEncoding(r), randomEncoding(r)); }},
      {"aligned exponents", 600000, aligned},
      {"product ties", 600000, productTies},
      {"subnormal results", 600000, subnormalResults},
      {"near powers of two", 600000, nearPowersOfTwo},
      {"double ties", 300000, doubleTies},
      {"from doubles", 300000, fromDoubles},
  };
  std::mt19937_64 random(29);
  for (const Case& c : cases) {
    Tally t{c.name};
    // Every third pair takes the previous result as its first operand, so
    // that results of the operations are operands too.
    SoftExtended previous;
    for (int64_t k = 0; k < c.pairs; ++k) {
      std::pair<SoftExtended, SoftExtended> pair = c.next(random);
      if (k % 3 == 2) pair.first = previous;
      previous = checkPair(pair.first, pair.second, t, static_cast<int>(k));
    }
    EXPECT_EQ(t.failed, 0) << c.name << ": " << t.failed << " of " << t.checked << " checks failed";
  }
}

TEST(SoftExtended, ConvertsFromDoubleAndIntExactly) {
  if (!kHaveX87) GTEST_SKIP() << "no x87 extended type to compare with";
  std::mt19937_64 random(30);
  Tally t{"conversions"};
  for (int k = 0; k < 1000000; ++k) {
    const double d = randomDouble(random);
    const X87 hd = d;
    if (!sameBits(SoftExtended(d), soft(hd))) t.fail("from " + text(d));
    const int32_t i = static_cast<int32_t>(random());
    const X87 hi = i;
    if (!sameBits(SoftExtended(i), soft(hi))) t.fail("from " + std::to_string(i));
    ++t.checked;
  }
  EXPECT_EQ(t.failed, 0);
}

// The engine's formulas on the values a run gives them (coordinates of
// several scales and their differences, weights and their halves, angles
// near the thresholds, extrapolation factors), each in both types: every
// intermediate result and the double stored.
template <typename T>
void engineFormulas(const double* in, T* out) {
  const double pi = 3.1415927;
  const T dx = T(in[0]) - in[1], dy = T(in[2]) - in[3];
  out[0] = dx * dx + dy * dy;
  const T a = in[4], b = in[5], o = in[6];
  out[1] = (a * a + b * b - o * o) / (T(2.0) * a * b);
  out[2] = T(in[7]) * T(180.0) * (T(1.0) / T(pi));
  out[3] = (T(180.0) + in[8]) * T(0.5);
  out[4] = (T(in[9]) + in[10]) * T(0.5);
  out[5] = T(in[11]) + out[4];
  out[6] = (T(in[12]) - in[13]) * in[14] + in[12];
  out[7] = (T(1.0) - in[15]) * (T(2.0) * a * a);
  out[8] = T(in[16]) / in[5];
  out[9] = T(pi) - in[7];
  out[10] = T(static_cast<int32_t>(in[17])) * in[9];
}

TEST(SoftExtended, EngineFormulasEqualTheX87) {
  if (!kHaveX87) GTEST_SKIP() << "no x87 extended type to compare with";
  std::mt19937_64 random(31);
  // Uniform in [0, 1) (not by std::uniform_real_distribution, whose code
  // calls long double functions that a -mlong-double-64 build cannot).
  const auto unit = [](std::mt19937_64& r) { return static_cast<double>(r() >> 11) * 0x1p-53; };
  Tally t{"engine formulas"};
  const double scales[] = {1.0, 100.0, 1e-7, 1e6, 1e150, 1e-150, 3e-308};
  for (int k = 0; k < 300000; ++k) {
    const double scale = scales[random() % 7];
    const double origin = scale * (random() % 2 == 0 ? 0.0 : 1e4 * unit(random));
    double in[18];
    for (int j = 0; j < 4; ++j) {
      in[j] = random() % 4 == 0 ? std::floor(unit(random) * 20.0) : origin + scale * unit(random);
    }
    for (int j = 4; j < 7; ++j) in[j] = scale * unit(random);
    in[7] = 3.1415927 * unit(random);
    in[8] = 90.0 + 0.01 * static_cast<double>(random() % 9000);
    for (int j = 9; j < 12; ++j) {
      in[j] = random() % 2 == 0 ? static_cast<double>(1 + random() % 20) : 30.0 * unit(random);
    }
    in[12] = 50.0 * unit(random);
    in[13] = 50.0 * unit(random);
    in[14] = 4.0 * unit(random);
    in[15] = unit(random) * 2.0 - 1.0;
    in[16] = scale * unit(random);
    in[17] = static_cast<double>(random() % 81);
    SoftExtended got[11];
    X87 want[11];
    engineFormulas(in, got);
    engineFormulas(in, want);
    for (int j = 0; j < 11; ++j) {
      ++t.checked;
      if (!sameBits(got[j], soft(want[j])) ||
          !sameBits(static_cast<double>(got[j]), static_cast<double>(want[j]))) {
        t.fail("formula " + std::to_string(j) + ": " + text(got[j]) + ", x87 " +
               text(soft(want[j])));
      }
    }
  }
  EXPECT_EQ(t.failed, 0) << t.failed << " of " << t.checked;
}

// Where long double is not the x87 format the engine's Extended is the
// software type; where it is, long double itself unless the build asks for
// the software type.
TEST(SoftExtended, ChosenWhereLongDoubleIsNotX87) {
#if defined(TESSEL_SOFT_EXTENDED)
  const bool x87 = false;
#else
  const bool x87 = std::numeric_limits<long double>::digits == 64;
#endif
  EXPECT_EQ((std::is_same<Extended, long double>::value), x87);
  EXPECT_EQ((std::is_same<Extended, SoftExtended>::value), !x87);
}

// The portable 128-bit steps (MSVC's) against the compiler's 128-bit
// integers.
TEST(WideInteger, PortableFormsEqualTheBuiltIn) {
#if defined(__SIZEOF_INT128__)
  std::mt19937_64 random(32);
  for (int k = 0; k < 1000000; ++k) {
    const uint64_t a = randomSignificand(random), b = randomSignificand(random);
    uint64_t low, portableLow;
    const uint64_t high = multiplyWide(a, b, &low);
    ASSERT_EQ(multiplyWidePortable(a, b, &portableLow), high) << a << " * " << b;
    ASSERT_EQ(portableLow, low) << a << " * " << b;
    const uint64_t divisor = b | (k % 2 == 0 ? uint64_t{1} << 63 : 1);
    const uint64_t top = k % 3 == 0 ? divisor - 1 : a % divisor;
    uint64_t remainder, portableRemainder;
    const uint64_t quotient = divideWide(top, a, divisor, &remainder);
    ASSERT_EQ(divideWidePortable(top, a, divisor, &portableRemainder), quotient)
        << top << ":" << a << " / " << divisor;
    ASSERT_EQ(portableRemainder, remainder);
  }
  for (int shift = 0; shift < 64; ++shift) {
    EXPECT_EQ(leadingZeros(uint64_t{1} << shift), 63 - shift);
  }
  EXPECT_EQ(leadingZeros(0), 64);
#else
  GTEST_SKIP() << "no 128-bit integers to compare with";
#endif
}

}  // namespace
