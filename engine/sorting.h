// Stable sorts that allocate nothing: an insertion sort and a sort by rank
// for short runs and a merge sort that takes its scratch area from the
// caller. The engine uses them so that the order of equal keys is fixed on
// every platform. And a selection of the k-th item for the k-d tree's
// median splits.
// Owned by the smoothing phases.
#ifndef TESSEL_ENGINE_SORTING_H_
#define TESSEL_ENGINE_SORTING_H_

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <utility>

namespace tessel {

// Runs this short or shorter are sorted by insertion.
constexpr size_t kInsertionSortLimit = 16;

// Sorts items[0..n) so that less(items[k+1], items[k]) is false for every k;
// equal items keep their order.
template <class T, class Less>
void insertionSort(T* items, size_t n, Less less) {
  for (size_t k = 1; k < n; ++k) {
    T item = items[k];
    size_t j = k;
    while (j > 0 && less(item, items[j - 1])) {
      items[j] = items[j - 1];
      --j;
    }
    items[j] = item;
  }
}

// Up to this many items are worth sorting by rank.
constexpr size_t kRankSortLimit = 16;

// Stable sort of items[0..n) by key(item), by rank: each item goes to the
// count of keys below its own plus equal ones before it. It compares every
// pair without a branch, where an insertion sort of a handful of keys in
// random order has its every comparison guessed half the time by the
// processor. Only for at most kRankSortLimit items whose keys are all
// numbers (not NaN); otherwise it returns false, the items untouched.
template <class T, class Key>
bool sortByRank(T* items, size_t n, Key key) {
  if (n > kRankSortLimit) return false;
  double keys[kRankSortLimit];
  bool numbers = true;
  for (size_t k = 0; k < n; ++k) {
    keys[k] = key(items[k]);
    numbers &= keys[k] == keys[k];
  }
  if (!numbers) return false;
  T ranked[kRankSortLimit];
  for (size_t i = 0; i < n; ++i) {
    size_t rank = 0;
    for (size_t j = 0; j < i; ++j) rank += keys[j] <= keys[i];
    for (size_t j = i + 1; j < n; ++j) rank += keys[j] < keys[i];
    ranked[rank] = items[i];
  }
  for (size_t k = 0; k < n; ++k) items[k] = ranked[k];
  return true;
}

// Stable merge sort of items[0..n). scratch must have room for n / 2 items
// and must not overlap items; its contents are overwritten.
template <class T, class Less>
void mergeSort(T* items, size_t n, T* scratch, Less less) {
  if (n <= kInsertionSortLimit) {
    insertionSort(items, n, less);
    return;
  }
  const size_t half = n / 2;
  mergeSort(items, half, scratch, less);
  mergeSort(items + half, n - half, scratch, less);
  if (!less(items[half], items[half - 1])) return;  // already in order
  for (size_t k = 0; k < half; ++k) scratch[k] = items[k];
  size_t left = 0;
  size_t right = half;
  size_t out = 0;
  // Writing at out never overtakes right, so unread right items survive.
  while (left < half && right < n) {
    if (less(items[right], scratch[left])) {
      items[out++] = items[right++];
    } else {
      items[out++] = scratch[left++];
    }
  }
  while (left < half) items[out++] = scratch[left++];
}

// Rearranges items[0..n) (0 <= k < n) so that items[k] is the item a sort
// would put there, those before it are less and those after it are not:
// what std::nth_element does, for a `less` under which no two items are
// equal. It chooses its pivots from a sample of the range, as Floyd and
// Rivest's selection does, so that a large range is mostly partitioned
// once: about half the passes of nth_element over the k-d tree's points,
// which do not fit any cache at the top levels.
template <class T, class Less>
void selectNth(T* items, ptrdiff_t n, ptrdiff_t k, Less less) {
  ptrdiff_t left = 0;
  ptrdiff_t right = n - 1;
  while (right > left) {
    if (right - left > 600) {
      // The pivot: the item of a sample of about n^(2/3) items that should
      // be next to the k-th, selected in place first.
      const ptrdiff_t size = right - left + 1;
      const ptrdiff_t rank = k - left + 1;
      const double z = std::log(static_cast<double>(size));
      const double s = 0.5 * std::exp(2.0 * z / 3.0);
      const double deviation =
          0.5 * std::sqrt(z * s * (size - s) / size) * (2 * rank < size ? -1.0 : 1.0);
      const ptrdiff_t from = std::max(
          left, static_cast<ptrdiff_t>(static_cast<double>(k) - rank * s / size + deviation));
      const ptrdiff_t to = std::min(
          right,
          static_cast<ptrdiff_t>(static_cast<double>(k) + (size - rank) * s / size + deviation));
      selectNth(items + from, to - from + 1, k - from, less);
    }
    // Partition [left, right] around the pivot items[k], without a branch
    // on the comparisons: each item is swapped into the next place of the
    // lower part, which grows only when the item is less.
    std::swap(items[left], items[k]);
    const T pivot = items[left];
    ptrdiff_t store = left + 1;
    for (ptrdiff_t m = left + 1; m <= right; ++m) {
      const T item = items[m];
      const bool lower = less(item, pivot);
      items[m] = items[store];
      items[store] = item;
      store += lower;
    }
    const ptrdiff_t j = store - 1;
    std::swap(items[left], items[j]);
    if (j <= k) left = j + 1;
    if (k <= j) right = j - 1;
  }
}

}  // namespace tessel

#endif  // TESSEL_ENGINE_SORTING_H_
