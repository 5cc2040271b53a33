// The stable sorts against the standard library's stable sort.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "engine/sorting.h"

namespace {

struct Item {
  int key;
  int tag;  // generation order, to see that equal keys keep it
};

bool byKey(const Item& a, const Item& b) { return a.key < b.key; }

std::vector<int> tags(const std::vector<Item>& items) {
  std::vector<int> result;
  for (const Item& item : items) result.push_back(item.tag);
  return result;
}

TEST(Sorting, StableLikeTheStandardStableSort) {
  struct Case {
    size_t n;
    uint32_t distinctKeys;
  };
  const Case cases[] = {{0, 1},  {1, 1},  {2, 1},   {15, 3},    {16, 2},
                        {17, 4}, {80, 5}, {257, 7}, {1000, 1000}, {1000, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.n);
    std::vector<Item> original;
    uint32_t state = 7u + static_cast<uint32_t>(c.n);
    for (size_t k = 0; k < c.n; ++k) {
      state = state * 1664525u + 1013904223u;
      original.push_back({static_cast<int>((state >> 8) % c.distinctKeys),
                          static_cast<int>(k)});
    }
    std::vector<Item> want = original;
    std::stable_sort(want.begin(), want.end(), byKey);

    std::vector<Item> merged = original;
    std::vector<Item> scratch(c.n / 2 + 1);
    mergeSort(merged.data(), merged.size(), scratch.data(), byKey);
    EXPECT_EQ(tags(merged), tags(want));

    std::vector<Item> inserted = original;
    insertionSort(inserted.data(), inserted.size(), byKey);
    EXPECT_EQ(tags(inserted), tags(want));
  }
}

}  // namespace
