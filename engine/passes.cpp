// The two smoothing passes: every point with triples is clamped between the
// weighted medians of the lower and the higher values of its triples' pairs,
// unless its own weight holds it.
#include "engine/passes.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "engine/allocator.h"
#include "engine/numerics.h"
#include "engine/parallel.h"
#include "engine/phases.h"
#include "engine/sorting.h"
#include "engine/work_arrays.h"

namespace {

bool valueBefore(const ScreenEntry& a, const ScreenEntry& b) {
  return compareByValue(a, b) < 0;
}

// The two screen lists of one pass and the running totals of their weights.
struct Screens {
  ScreenEntry* high;
  ScreenEntry* low;
  double highTotal;
  double lowTotal;
};

// One block per list for all workers: worker w owns NTRIP entries at
// w * screenStride(NTRIP), slices kept a cache line apart so that workers
// never write to the same line. With NTRIP 0 each block is a zero-size
// request, one per list.
struct ScreenBlocks {
  ScreenEntry* high;
  ScreenEntry* low;
};

int64_t screenStride(int32_t NTRIP) {
  const int64_t perLine = 64 / sizeof(ScreenEntry);
  return NTRIP <= 0 ? 0 : (NTRIP + perLine - 1) / perLine * perLine + perLine;
}

ScreenBlocks obtainScreenBlocks(int32_t NTRIP) {
  const int64_t size = screenStride(NTRIP) * workerCount();
  ScreenBlocks blocks;
  blocks.high = allocateWorkArray<ScreenEntry>(size);
  blocks.low = allocateWorkArray<ScreenEntry>(size);
  return blocks;
}

void releaseScreenBlocks(ScreenBlocks& blocks) {
  std::free(blocks.high);
  std::free(blocks.low);
}

Screens workerScreens(const ScreenBlocks& blocks, int32_t NTRIP, int32_t worker) {
  const size_t offset = static_cast<size_t>(screenStride(NTRIP)) * static_cast<size_t>(worker);
  Screens s;
  s.high = blocks.high == nullptr ? nullptr : blocks.high + offset;
  s.low = blocks.low == nullptr ? nullptr : blocks.low + offset;
  s.highTotal = 0.0;
  s.lowTotal = 0.0;
  return s;
}

double addWeight(double total, long double amount) {
  return static_cast<double>(static_cast<long double>(total) + amount);
}

double addWeight(double total, double amount) {
  return sumRoundedToDouble(total, amount);
}

// Puts the pair (va, wa), (vb, wb) of triple j on the lists: the larger value
// on the high list, the smaller on the low list; equal values (or values that
// do not compare) go on both with the mean of the two weights.
void placePair(Screens& s, int32_t j, double va, double wa, double vb,
               double wb) {
  if (va < vb) {
    s.high[j] = {vb, wb};
    s.low[j] = {va, wa};
    s.highTotal = addWeight(s.highTotal, wb);
    s.lowTotal = addWeight(s.lowTotal, wa);
  } else if (va > vb) {
    s.high[j] = {va, wa};
    s.low[j] = {vb, wb};
    s.highTotal = addWeight(s.highTotal, wa);
    s.lowTotal = addWeight(s.lowTotal, wb);
  } else {
    const long double half = (static_cast<long double>(wa) + wb) * 0.5L;
    const double weight = static_cast<double>(half);
    s.high[j] = {va, weight};
    s.low[j] = {va, weight};
    s.highTotal = addWeight(s.highTotal, half);
    s.lowTotal = addWeight(s.lowTotal, half);
  }
}

// The new value of a point with value v, weight w and c triples whose pairs
// are on the lists.
double screenedValue(Screens& s, int32_t c, int32_t NTRIP, double v,
                     double w) {
  insertionSort(s.high, static_cast<size_t>(c), valueBefore);
  insertionSort(s.low, static_cast<size_t>(c), valueBefore);
  double highScreen = 0.0;
  double lowScreen = 0.0;
  weightedMedian(s.high, NTRIP, c, &highScreen);
  weightedMedian(s.low, NTRIP, c, &lowScreen);
  const long double total = static_cast<long double>(s.highTotal) + s.lowTotal;
  const long double own = static_cast<long double>(c) * w;
  if (v < lowScreen && own < total) return lowScreen;
  if (v > highScreen && own < total) return highScreen;
  return v;
}

// Number of triples of a point that fit the lists.
int32_t usableCount(int32_t count, int32_t NTRIP) {
  return std::min(count, NTRIP);
}

}  // namespace

int compareByValue(const ScreenEntry& a, const ScreenEntry& b) {
  if (a.value > b.value) return 1;
  if (a.value < b.value) return -1;
  return 0;
}

void weightedMedian(const ScreenEntry* list, int32_t capacity, int32_t count,
                    double* result) {
  const int32_t n = std::min(count, capacity);
  if (n < 1) return;
  double sum = 0.0;
  for (int32_t k = 0; k < n; ++k) {
    sum = sumRoundedToDouble(sum, list[k].weight);
  }
  const long double half = static_cast<long double>(sum) * 0.5L;
  // The running sums again, in the same order: each equals the cumulative
  // weight at its position bit for bit.
  double median = list[n - 1].value;
  double cumulative = 0.0;
  for (int32_t k = 0; k < n; ++k) {
    cumulative = sumRoundedToDouble(cumulative, list[k].weight);
    if (cumulative >= half) {
      if (cumulative > half || k == n - 1) {
        median = list[k].value;
      } else {
        median = static_cast<double>(
            (static_cast<long double>(list[k].value) + list[k + 1].value) *
            0.5L);
      }
      break;
    }
  }
  *result = median;
}

void smoothInteriorPoints(int32_t N, int32_t /*NN*/, int32_t NTRIP,
                          int32_t /*NITER*/, double* currentValues) {
  ScreenBlocks blocks = obtainScreenBlocks(NTRIP);
  const int32_t* order = visitOrder(N);
  forEachPointRange(N, [&](int32_t begin, int32_t end, int32_t worker) {
    Screens s = workerScreens(blocks, NTRIP, worker);
    for (int32_t k = begin; k < end; ++k) {
      const int32_t i = order == nullptr ? k : order[k];
      const int32_t c = usableCount(tripleSets[i].interiorCount, NTRIP);
      if (c <= 0) continue;
      s.highTotal = 0.0;
      s.lowTotal = 0.0;
      const Triple* triples = tripleSets[i].triples;
      for (int32_t j = 0; j < c; ++j) {
        const int32_t a = triples[j].first;
        const int32_t b = triples[j].second;
        placePair(s, j, currentValues[a], weights[a], currentValues[b],
                  weights[b]);
      }
      nextValues[i] = screenedValue(s, c, NTRIP, currentValues[i], weights[i]);
    }
  });
  releaseScreenBlocks(blocks);
}

void smoothEndPoints(int32_t N, int32_t /*NN*/, int32_t NTRIP,
                     int32_t /*NITER*/, double* currentValues) {
  ScreenBlocks blocks = obtainScreenBlocks(NTRIP);
  const int32_t* order = visitOrder(N);
  forEachPointRange(N, [&](int32_t begin, int32_t end, int32_t worker) {
    Screens s = workerScreens(blocks, NTRIP, worker);
    for (int32_t k = begin; k < end; ++k) {
      const int32_t i = order == nullptr ? k : order[k];
      const int32_t c = usableCount(tripleSets[i].endCount, NTRIP);
      if (c <= 0) continue;
      s.highTotal = 0.0;
      s.lowTotal = 0.0;
      const Triple* triples = tripleSets[i].triples;
      for (int32_t j = 0; j < c; ++j) {
        const int32_t middle = triples[j].first;
        const int32_t farPoint = triples[j].second;
        // The far point's own value plays no part: the extrapolated value
        // stands in for it, with the smaller of the two weights.
        const double smaller = std::min(weights[middle], weights[farPoint]);
        placePair(s, j, currentValues[middle], weights[middle], endValues[i][j],
                  smaller);
      }
      nextValues[i] = screenedValue(s, c, NTRIP, currentValues[i], weights[i]);
    }
  });
  releaseScreenBlocks(blocks);
}
