// The smoothing passes' screen lists and their weighted median. A screen
// list holds one weighted candidate value per triple; the passes own the
// lists (one block per list per pass, a slice per worker). The passes
// themselves are smoothAllPoints (phases.h).
#ifndef TESSEL_ENGINE_PASSES_H_
#define TESSEL_ENGINE_PASSES_H_

#include <cstdint>

namespace tessel {

struct ScreenEntry {
  double value;
  double weight;
};

// Three-way comparison on value only: 1 when a's value is greater, -1 when
// it is smaller, 0 otherwise.
int compareByValue(const ScreenEntry& a, const ScreenEntry& b);

// Weighted median of list[0..count), sorted by ascending value; only the
// first capacity entries (NTRIP, the room of a screen list, at most 80)
// count.
// The first position whose cumulative weight reaches half the total gives
// the result; at exactly half, the mean of it and the next value. The search
// never reads past the list: if no position reaches half the total the last
// value is the result, and at exactly half on the last entry its own value.
// Leaves result untouched when count or capacity is below 1.
void weightedMedian(const ScreenEntry* list, int32_t capacity, int32_t count, double* result);

}  // namespace tessel

#endif  // TESSEL_ENGINE_PASSES_H_
