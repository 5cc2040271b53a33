// Advice to back large blocks with huge pages. A million points fill
// hundreds of megabytes; with small pages the first touch of each page and
// the translation misses of the phases cost more than the phases'
// arithmetic. Only advice: nothing depends on it being taken, and no byte
// of a block changes. Owned by the engine's phases; the blocks stay their
// owners'.
#ifndef TESSEL_ENGINE_HUGE_PAGES_H_
#define TESSEL_ENGINE_HUGE_PAGES_H_

#include <cstddef>
#include <vector>

// Advises the huge pages that lie wholly inside [block, block + bytes).
void adviseHugePages(const void* block, size_t bytes);

// Resizes an empty vector to count elements, advising its storage before
// the elements are first written.
template <class T>
void resizeOnHugePages(std::vector<T>& items, size_t count) {
  items.reserve(count);
  adviseHugePages(items.data(), count * sizeof(T));
  items.resize(count);
}

#endif  // TESSEL_ENGINE_HUGE_PAGES_H_
