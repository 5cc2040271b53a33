// Stable sorts that allocate nothing: an insertion sort for short runs and a
// merge sort that takes its scratch area from the caller. The engine uses
// them so that the order of equal keys is fixed on every platform.
// Owned by the smoothing phases.
#ifndef TESSEL_ENGINE_SORTING_H_
#define TESSEL_ENGINE_SORTING_H_

#include <cstddef>

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

}  // namespace tessel

#endif  // TESSEL_ENGINE_SORTING_H_
