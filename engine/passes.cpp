// The two smoothing passes: every point with triples is clamped between the
// weighted medians of the lower and the higher values of its triples' pairs,
// unless its own weight holds it.
#include "engine/passes.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <memory>

#include "engine/allocation.h"
#include "engine/numerics.h"
#include "engine/parallel.h"
#include "engine/phases.h"
#include "engine/sorting.h"
#include "engine/work_arrays.h"

namespace tessel {

namespace {

// Order of a screen list: ascending value (equal values, and values that do
// not compare, keep their order in the stable sorts that use it).
struct ValueOrder {
  bool operator()(const ScreenEntry& a, const ScreenEntry& b) const { return a.value < b.value; }
};

// The two screen lists of one pass and the running totals of their weights.
struct Screens {
  ScreenEntry* high;
  ScreenEntry* low;
  double highTotal;
  double lowTotal;
  bool exactSums;  // every sum of list weights is exact (integerWeights)
  bool plain;      // the reference method: no shortcut, full library sorts
};

// One block per list for all workers: worker w owns NTRIP entries at
// w * screenStride(NTRIP), slices kept a cache line apart so that workers
// never write to the same line. With NTRIP 0 each block is a zero-size
// request, one per list.
struct ScreenBlocks {
  ScreenEntry* high;
  ScreenEntry* low;
};

int64_t screenStride(int32_t NTRIP) { return workerStride<ScreenEntry>(NTRIP); }

// Obtains both blocks of a pass; the unique_ptrs release them on every
// way out.
using ScreenBlock = std::unique_ptr<ScreenEntry, FreeBlock>;

ScreenBlocks obtainScreenBlocks(WorkArrays& ws, int32_t NTRIP, ScreenBlock& high,
                                ScreenBlock& low) {
  const int64_t size = screenStride(NTRIP) * ws.workers;
  high.reset(obtainArray<ScreenEntry>(ws.policy, size));
  low.reset(obtainArray<ScreenEntry>(ws.policy, size));
  return {high.get(), low.get()};
}

Screens workerScreens(const ScreenBlocks& blocks, int32_t NTRIP, int32_t worker, bool exactSums,
                      bool plain) {
  const size_t offset = static_cast<size_t>(screenStride(NTRIP)) * static_cast<size_t>(worker);
  Screens s;
  s.high = blocks.high == nullptr ? nullptr : blocks.high + offset;
  s.low = blocks.low == nullptr ? nullptr : blocks.low + offset;
  s.highTotal = 0.0;
  s.lowTotal = 0.0;
  s.exactSums = exactSums;
  s.plain = plain;
  return s;
}

double addWeight(double total, Extended amount) {
  return static_cast<double>(Extended(total) + amount);
}

double addWeight(double total, double amount) { return sumRoundedToDouble(total, amount); }

// Puts the pair (va, wa), (vb, wb) of triple j on the lists: the larger value
// on the high list, the smaller on the low list; equal values (or values that
// do not compare) go on both with the mean of the two weights.
inline void placePair(Screens& s, int32_t j, double va, double wa, double vb, double wb) {
  if (va < vb || va > vb) {
    // Chosen by position, without a branch (a conditional of doubles
    // compiles to one): which value is larger is a coin toss.
    const double values[2] = {va, vb};
    const double weights[2] = {wa, wb};
    const int higher = va < vb;
    const double highValue = values[higher];
    const double highWeight = weights[higher];
    const double lowValue = values[1 - higher];
    const double lowWeight = weights[1 - higher];
    s.high[j] = {highValue, highWeight};
    s.low[j] = {lowValue, lowWeight};
    // Exact sums (integer weights) need no care for their rounding.
    s.highTotal = s.exactSums ? s.highTotal + highWeight : addWeight(s.highTotal, highWeight);
    s.lowTotal = s.exactSums ? s.lowTotal + lowWeight : addWeight(s.lowTotal, lowWeight);
  } else {
    const Extended half = (Extended(wa) + wb) * Extended(0.5);
    const double weight = static_cast<double>(half);
    s.high[j] = {va, weight};
    s.low[j] = {va, weight};
    s.highTotal = s.exactSums ? s.highTotal + weight : addWeight(s.highTotal, half);
    s.lowTotal = s.exactSums ? s.lowTotal + weight : addWeight(s.lowTotal, half);
  }
}

// The longest screen list: NTRIP is at most 80 in every run.
constexpr int32_t kLongestList = 80;

// Sorts list[0..c) by ascending value, equal values in their order: by
// rank when short and every value compares, otherwise a stable merge sort
// (insertion below 16 entries) that allocates nothing; in the plain form
// the library's stable sort.
void sortByValue(ScreenEntry* list, int32_t c, bool plain) {
  if (plain) {
    std::stable_sort(list, list + c, ValueOrder());
    return;
  }
  if (sortByRank(list, static_cast<size_t>(c), [](const ScreenEntry& e) { return e.value; })) {
    return;
  }
  ScreenEntry scratch[kLongestList / 2];
  mergeSort(list, static_cast<size_t>(c), scratch, ValueOrder());
}

// The weighted median of the sorted list[0..n), n >= 1, given the running
// sums of its weights and half their total (double or Extended).
template <typename Half>
double medianAt(const ScreenEntry* list, const double* cumulative, int32_t n, Half half) {
  int32_t k = 0;
  while (k < n && !(cumulative[k] >= half)) ++k;
  if (k < n && !(cumulative[k] > half) && k != n - 1) {
    return static_cast<double>((Extended(list[k].value) + list[k + 1].value) * Extended(0.5));
  }
  return list[k < n ? k : n - 1].value;
}

// The running sums of the weights are kept as they are formed, so the total
// is the last of them and each one at its position is the cumulative weight
// bit for bit. Half the total is an Extended; unless the total is so
// small that halving it in double could round, half of it in double is the
// same number, and the fast form compares in the cheaper type.
double medianOfSorted(const ScreenEntry* list, int32_t n, bool plain) {
  double cumulative[kLongestList];
  double sum = 0.0;
  for (int32_t k = 0; k < n; ++k) {
    sum = sumRoundedToDouble(sum, list[k].weight);
    cumulative[k] = sum;
  }
  if (plain || std::fabs(sum) < 0x1p-1020) {
    return medianAt(list, cumulative, n, Extended(sum) * Extended(0.5));
  }
  return medianAt(list, cumulative, n, sum * 0.5);
}

// medianOfSorted's fast form on a list whose sums of weights are exact
// (integerWeights): the running sums need no care for their rounding, and
// half the total (at least 1/2) is exact in double.
double medianOfExactSums(const ScreenEntry* list, int32_t n) {
  double cumulative[kLongestList];
  double sum = 0.0;
  for (int32_t k = 0; k < n; ++k) {
    sum += list[k].weight;
    cumulative[k] = sum;
  }
  return medianAt(list, cumulative, n, sum * 0.5);
}

// True when v lies within both screens, found without sorting either list;
// only for lists whose sums of weights are exact (integerWeights). The
// running totals are then the sums of the lists, the cumulative weights of
// the sorted lists are plain sums over entries, and, the weights being
// positive:
//   the low screen is at most v when the entries of value <= v weigh more
//   than half the low total (the first position that reaches half lies
//   among them, and so does the next one when it reaches exactly half);
//   the high screen is at least v when the entries of value < v weigh less
//   than half the high total (no position among them reaches half).
// False when that cannot be shown; the screens are then computed as written.
// *comparable tells whether every value on both lists compares (no NaN).
bool insideScreens(const Screens& s, int32_t c, double v, bool* comparable) {
  double lowAtMost = 0.0, highBelow = 0.0;
  bool all = true;
  for (int32_t j = 0; j < c; ++j) {
    const double lowValue = s.low[j].value;
    const double highValue = s.high[j].value;
    all &= (lowValue == lowValue) & (highValue == highValue);
    lowAtMost += lowValue <= v ? s.low[j].weight : 0.0;
    highBelow += highValue < v ? s.high[j].weight : 0.0;
  }
  *comparable = all;
  return all && lowAtMost > s.lowTotal * 0.5 && highBelow < s.highTotal * 0.5;
}

// The weighted median of list[0..c) (c >= 1) on a list whose sums of
// weights are exact (integerWeights), as medianOfExactSums finds it on the
// list sorted by sortByValue, without sorting: a selection. Only for lists
// without NaN (which has no place in that order: allComparable).
//
// The sorted order is ascending value, equal values in list order. The
// weights being positive and their sums exact, the first position whose
// cumulative weight reaches half the total lies in the class of equal
// values u with weight(< u) < half <= weight(<= u); a three-way partition
// around a pivot value finds that class, keeping only the side that holds
// it. Within the class the entries are walked in list order (so a 0 and a
// -0 of one class come out as the sort would give them); at exactly half
// the next entry is the next of the class or, after its last, the first in
// list order of the smallest larger value.
double exactSumsMedian(const ScreenEntry* list, int32_t c, double total) {
  // Three areas for the partitions: the side kept becomes the next input
  // and the other two take its parts.
  ScreenEntry areas[3][kLongestList];
  const double half = total * 0.5;
  const ScreenEntry* in = list;
  int32_t n = c, inArea = -1;
  double before = 0.0;  // weight of the values below every one in `in`
  double u = 0.0;
  for (;;) {
    // The median of the first, middle and last values as the pivot.
    const double a = in[0].value, b = in[n / 2].value, d = in[n - 1].value;
    const double pivot = a < b ? (b < d ? b : (a < d ? d : a)) : (a < d ? a : (b < d ? d : b));
    const int32_t lowArea = inArea == 0 ? 1 : 0, highArea = inArea == 2 ? 1 : 2;
    ScreenEntry* lower = areas[lowArea];
    ScreenEntry* higher = areas[highArea];
    int32_t nLower = 0, nHigher = 0;
    double wLower = 0.0, wEqual = 0.0;
    for (int32_t j = 0; j < n; ++j) {
      const ScreenEntry e = in[j];
      const bool below = e.value < pivot;
      const bool above = e.value > pivot;
      lower[nLower] = e;
      higher[nHigher] = e;
      nLower += below;
      nHigher += above;
      wLower += below ? e.weight : 0.0;
      wEqual += below || above ? 0.0 : e.weight;
    }
    if (before + wLower >= half) {
      in = lower, n = nLower, inArea = lowArea;
    } else if (before + wLower + wEqual >= half) {
      before += wLower;
      u = pivot;
      break;
    } else {
      before += wLower + wEqual;
      in = higher, n = nHigher, inArea = highArea;
    }
  }
  // The class of u in list order.
  double cumulative = before;
  int32_t k = 0;
  while (!(list[k].value == u && (cumulative += list[k].weight) >= half)) ++k;
  if (cumulative > half) return list[k].value;
  // Exactly half: the next entry of the sorted order, which exists (the
  // total lies beyond half).
  int32_t next = -1;
  for (int32_t j = k + 1; j < c && next < 0; ++j) next = list[j].value == u ? j : -1;
  if (next < 0) {
    for (int32_t j = 0; j < c; ++j) {
      const bool smaller = next < 0 || list[j].value < list[next].value;
      next = list[j].value > u && smaller ? j : next;
    }
  }
  return static_cast<double>((Extended(list[k].value) + list[next].value) * Extended(0.5));
}

// Whether the fast form finds a screen of c entries by selection
// (exactSumsMedian): shorter lists sort by insertion about as cheaply.
bool selects(const Screens& s, int32_t c) {
  return !s.plain && s.exactSums && c > static_cast<int32_t>(kInsertionSortLimit);
}

// Lists this short or shorter may be sorted by rank (rankSort).
constexpr int32_t kRankSortLimit = 16;

// Whether every value of list[0..c) compares (none is NaN).
bool allComparable(const ScreenEntry* list, int32_t c) {
  bool comparable = true;
  for (int32_t j = 0; j < c; ++j) comparable &= list[j].value == list[j].value;
  return comparable;
}

// list[0..c) (c <= kRankSortLimit) into sorted[0..c), by ascending value,
// equal values in their order, as sortByValue sorts, without a branch on
// the values: each entry goes straight to its place, the count of the
// entries before it in that order. False when a value is NaN (which
// compares with none).
bool rankSort(const ScreenEntry* list, int32_t c, ScreenEntry* sorted) {
  if (!allComparable(list, c)) return false;
  for (int32_t j = 0; j < c; ++j) {
    const double v = list[j].value;
    int32_t place = 0;
    for (int32_t k = 0; k < j; ++k) place += list[k].value <= v;
    for (int32_t k = j + 1; k < c; ++k) place += list[k].value < v;
    sorted[place] = list[j];
  }
  return true;
}

// The weighted median of the screen list[0..c) (1 <= c <= NTRIP) into
// *result, as weightedMedian finds it on the list sorted by sortByValue;
// in the fast form, sorted by rank into a copy where rankSort can.
void screenOf(ScreenEntry* list, int32_t c, int32_t NTRIP, const Screens& s, double total,
              double* result) {
  ScreenEntry sorted[kRankSortLimit];
  if (selects(s, c) && allComparable(list, c)) {
    *result = exactSumsMedian(list, c, total);
    return;
  }
  if (s.plain || c > kRankSortLimit || !rankSort(list, c, sorted)) {
    sortByValue(list, c, s.plain);
    weightedMedian(list, NTRIP, c, result, s.plain);
    return;
  }
  *result = s.exactSums ? medianOfExactSums(sorted, c) : medianOfSorted(sorted, c, false);
}

// A point's two screens and whether its own weight held it.
struct PointScreens {
  double low;
  double high;
  bool held;
};

// The new value of a point with value v, weight w and c triples whose pairs
// are on the lists (1 <= c <= NTRIP), with both screens computed, always,
// into `screens`, then the rule: a point held by its own weight keeps its
// value; one below the low screen takes it, one above the high screen
// takes that. The plain form, and every form where the screens are kept.
double valueBetweenScreens(Screens& s, int32_t c, int32_t NTRIP, double v, double w,
                           PointScreens& screens) {
  const Extended total = Extended(s.highTotal) + s.lowTotal;
  const Extended own = Extended(c) * w;
  screens.low = screens.high = 0.0;
  screenOf(s.low, c, NTRIP, s, s.lowTotal, &screens.low);
  screenOf(s.high, c, NTRIP, s, s.highTotal, &screens.high);
  screens.held = !(own < total);
  if (screens.held) return v;
  if (v < screens.low) return screens.low;
  if (v > screens.high) return screens.high;
  return v;
}

// The same new value, found with as little work as the fast form allows:
// a point held by its own weight keeps its value whatever the screens; one
// below the low screen takes it whatever the high screen. Neither screen is
// computed where its value cannot matter.
double screenedValue(Screens& s, int32_t c, int32_t NTRIP, double v, double w) {
  if (s.plain) {
    PointScreens screens;
    return valueBetweenScreens(s, c, NTRIP, v, w, screens);
  }
  const Extended total = Extended(s.highTotal) + s.lowTotal;
  const Extended own = Extended(c) * w;
  if (!(own < total)) return v;
  bool comparable = false;
  if (s.exactSums && insideScreens(s, c, v, &comparable)) return v;
  const bool select = comparable && selects(s, c);
  double lowScreen = 0.0;
  if (select) {
    lowScreen = exactSumsMedian(s.low, c, s.lowTotal);
  } else {
    sortByValue(s.low, c, false);
    weightedMedian(s.low, NTRIP, c, &lowScreen);
  }
  if (v < lowScreen) return lowScreen;
  double highScreen = 0.0;
  if (select) {
    highScreen = exactSumsMedian(s.high, c, s.highTotal);
  } else {
    sortByValue(s.high, c, false);
    weightedMedian(s.high, NTRIP, c, &highScreen);
  }
  if (v > highScreen) return highScreen;
  return v;
}

// Number of triples of a point that fit the lists.
int32_t usableCount(int32_t count, int32_t NTRIP) { return std::min(count, NTRIP); }

// The new value of a point from its lists: with kKeep, with both screens
// kept in `screens`.
template <bool kKeep>
inline double newValue(Screens& s, int32_t c, int32_t NTRIP, double v, double w,
                       PointScreens& screens) {
  return kKeep ? valueBetweenScreens(s, c, NTRIP, v, w, screens) : screenedValue(s, c, NTRIP, v, w);
}

// The interior pass at point i.
template <bool kKeep>
inline void smoothInteriorPoint(int32_t i, int32_t NTRIP, const WorkArrays& ws, Screens& s,
                                PointScreens& screens) {
  const double* currentValues = ws.currentValues.get();
  const double* weights = ws.weights.get();
  const int32_t c = usableCount(ws.tripleSets[i].interiorCount, NTRIP);
  if (c <= 0) return;
  s.highTotal = 0.0;
  s.lowTotal = 0.0;
  const Triple* triples = ws.triples(i);
  for (int32_t j = 0; j < c; ++j) {
    const int32_t a = triples[j].first;
    const int32_t b = triples[j].second;
    placePair(s, j, currentValues[a], weights[a], currentValues[b], weights[b]);
  }
  ws.nextValues[i] = newValue<kKeep>(s, c, NTRIP, currentValues[i], weights[i], screens);
}

// The end pass at point i, on the extrapolated values in endValues[i].
template <bool kKeep>
inline void smoothEndPoint(int32_t i, int32_t NTRIP, const WorkArrays& ws, Screens& s,
                           PointScreens& screens) {
  const double* currentValues = ws.currentValues.get();
  const double* weights = ws.weights.get();
  const int32_t c = usableCount(ws.tripleSets[i].endCount, NTRIP);
  if (c <= 0) return;
  s.highTotal = 0.0;
  s.lowTotal = 0.0;
  const Triple* triples = ws.triples(i);
  const double* endValues = ws.endRow(i);
  for (int32_t j = 0; j < c; ++j) {
    const int32_t middle = triples[j].first;
    const int32_t farPoint = triples[j].second;
    // The far point's own value plays no part: the extrapolated value
    // stands in for it, with the smaller of the two weights.
    const double smaller = std::min(weights[middle], weights[farPoint]);
    placePair(s, j, currentValues[middle], weights[middle], endValues[j], smaller);
  }
  ws.nextValues[i] = newValue<kKeep>(s, c, NTRIP, currentValues[i], weights[i], screens);
}

// The extrapolated values of point i's end triples: each middle point's
// value continued away from its far point.
inline void extrapolateEndValuesAt(int32_t i, const WorkArrays& ws) {
  const int32_t c = ws.tripleSets[i].endCount;
  const Triple* triples = ws.triples(i);
  const double* currentValues = ws.currentValues.get();
  const double* endFactors = ws.endFactors(i);
  for (int32_t j = 0; j < c; ++j) {
    const double middle = currentValues[triples[j].first];
    const double farValue = currentValues[triples[j].second];
    const Extended difference = Extended(middle) - farValue;
    ws.endRow(i)[j] = static_cast<double>(difference * endFactors[j] + middle);
  }
}

}  // namespace

void weightedMedian(const ScreenEntry* list, int32_t capacity, int32_t count, double* result,
                    bool plain) {
  const int32_t n = std::min(std::min(count, capacity), kLongestList);
  if (n >= 1) *result = medianOfSorted(list, n, plain);
}

namespace {

// False when neither point i's value nor any value its triples read changed
// in the last iteration (changed, null before the first): its new value
// would be the one it got then, which nextValues still holds.
inline bool needsSmoothing(const WorkArrays& ws, int32_t i, const uint8_t* changed) {
  if (changed == nullptr || changed[i] != 0) return true;
  const TripleSet& set = ws.tripleSets[i];
  const int32_t c = set.interiorCount + set.endCount;  // one of them is 0
  const Triple* triples = ws.triples(i);
  uint8_t any = 0;
  for (int32_t j = 0; j < c; ++j) {
    any |= changed[triples[j].first] | changed[triples[j].second];
  }
  return any != 0;
}

// One iteration's passes over the points [begin, end): each point not
// skipped (needsSmoothing) is smoothed; with kKeep, its screens and whether
// its weight held it go to the run's diagnostics (NaN screens and not held
// for a point without triples).
template <bool kKeep>
void smoothPoints(int32_t begin, int32_t end, int32_t NTRIP, WorkArrays& ws, const uint8_t* changed,
                  Screens& interior, Screens& ends) {
  constexpr double kNone = std::numeric_limits<double>::quiet_NaN();
  for (int32_t i = begin; i < end; ++i) {
    if (!needsSmoothing(ws, i, changed)) continue;
    PointScreens screens = {kNone, kNone, false};
    extrapolateEndValuesAt(i, ws);
    smoothInteriorPoint<kKeep>(i, NTRIP, ws, interior, screens);
    smoothEndPoint<kKeep>(i, NTRIP, ws, ends, screens);
    if (kKeep) {
      Diagnostics& diagnostics = *ws.diagnostics;
      const size_t at = static_cast<size_t>(i);
      diagnostics.low_screen[at] = screens.low;
      diagnostics.high_screen[at] = screens.high;
      diagnostics.held[at] = screens.held;
    }
  }
}

}  // namespace

// True when every weight is an integer from 1 to 2^40. Then every entry of
// a screen list weighs a positive multiple of 1/2 (a weight, the smaller of
// two, or the mean of two) and every sum of at most 160 of them is below
// 2^48, so sums of weights are exact in whatever order they are formed.
bool integerWeights(const double* weights, int32_t N) {
  bool integers = true;
  for (int32_t i = 0; i < N; ++i) {
    const double w = weights[i];
    integers = integers && w >= 1.0 && w <= 0x1p40 && w == std::floor(w);
  }
  return integers;
}

void smoothAllPoints(int32_t N, int32_t /*NN*/, int32_t NTRIP, int32_t /*NITER*/, WorkArrays& ws,
                     const uint8_t* changed, bool exactSums, bool keepScreens) {
  // The screen lists of both passes, obtained in the passes' order.
  ScreenBlock interiorHigh, interiorLow, endHigh, endLow;
  const ScreenBlocks interiorBlocks = obtainScreenBlocks(ws, NTRIP, interiorHigh, interiorLow);
  const ScreenBlocks endBlocks = obtainScreenBlocks(ws, NTRIP, endHigh, endLow);
  const bool plain = ws.method == Method::kReference;
  ws.forEachPoint(N, [&](int32_t begin, int32_t end, int32_t worker) {
    Screens interior = workerScreens(interiorBlocks, NTRIP, worker, exactSums, plain);
    Screens ends = workerScreens(endBlocks, NTRIP, worker, exactSums, plain);
    if (keepScreens) {
      smoothPoints<true>(begin, end, NTRIP, ws, changed, interior, ends);
    } else {
      smoothPoints<false>(begin, end, NTRIP, ws, changed, interior, ends);
    }
  });
}

}  // namespace tessel
