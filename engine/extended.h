// Extended: the type in which the engine's formulas hold their
// intermediate results, the 80-bit x87 extended format with round to
// nearest after every operation, so that a run gives the same bytes on
// every platform. Where long double is that format (x86-64 and x86 with
// GCC or Clang) Extended is long double itself; elsewhere (long double as
// double with MSVC and on ARM64 macOS, as the 128-bit quad format on
// AArch64 Linux) it is SoftExtended, the format in software. Defining
// TESSEL_SOFT_EXTENDED (CMake's TESSEL_SOFT_EXTENDED=ON) chooses the
// software type everywhere, so that it can be checked against the hardware.
//
// Extended offers what both types share: +, −, ×, ÷ and comparisons,
// conversion from double (implicit, exact) and from int32_t, and
// static_cast<double>. Constants are written as doubles that hold them
// exactly (Extended(0.5), not 0.5L), and no library function takes one:
// an Extended goes to std::sqrt or std::cos as a double.
#ifndef TESSEL_ENGINE_EXTENDED_H_
#define TESSEL_ENGINE_EXTENDED_H_

#include <limits>
#include <type_traits>

#include "engine/soft_extended.h"

namespace tessel {

#if defined(TESSEL_SOFT_EXTENDED)
constexpr bool kHardwareExtended = false;
#else
constexpr bool kHardwareExtended = std::numeric_limits<long double>::digits == 64 &&
                                   std::numeric_limits<long double>::max_exponent == 16384;
#endif

using Extended = std::conditional_t<kHardwareExtended, long double, SoftExtended>;

}  // namespace tessel

#endif  // TESSEL_ENGINE_EXTENDED_H_
