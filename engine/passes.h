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

// Weighted median of list[0..count), sorted by ascending value; only the
// first capacity entries (NTRIP, the room of a screen list, at most 80)
// count.
// The first position whose cumulative weight reaches half the total gives
// the result; at exactly half, the mean of it and the next value. The search
// never reads past the list: if no position reaches half the total the last
// value is the result, and at exactly half on the last entry its own value.
// Leaves result untouched when count or capacity is below 1. The half is
// formed in extended precision; the fast form compares in double where that
// gives the same half, the plain form (plain) never does.
void weightedMedian(const ScreenEntry* list, int32_t capacity, int32_t count, double* result,
                    bool plain = false);

}  // namespace tessel

#endif  // TESSEL_ENGINE_PASSES_H_
