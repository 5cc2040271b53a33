// The stable sorts against the standard library's stable sort.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

#include "engine/sorting.h"

namespace {

// Sizes around the insertion-sort limit and beyond, with few or many keys.
TEST(Sorting, StableLikeTheStandardStableSort) {
  using Item = std::pair<int, int>;  // key, generation order
  auto byKey = [](const Item& a, const Item& b) { return a.first < b.first; };
  const std::pair<size_t, uint32_t> cases[] = {{0, 1},  {2, 1},  {15, 3},   {16, 2},     {17, 4},
                                               {80, 5}, {257, 7}, {1000, 1000}, {1000, 1}};
  for (const auto& c : cases) {
    std::vector<Item> want;
    uint32_t state = 7u + static_cast<uint32_t>(c.first);
    for (size_t k = 0; k < c.first; ++k) {
      state = state * 1664525u + 1013904223u;
      want.push_back({static_cast<int>((state >> 8) % c.second), static_cast<int>(k)});
    }
    std::vector<Item> merged = want, inserted = want, scratch(c.first / 2 + 1);
    std::stable_sort(want.begin(), want.end(), byKey);
    mergeSort(merged.data(), merged.size(), scratch.data(), byKey);
    insertionSort(inserted.data(), inserted.size(), byKey);
    EXPECT_EQ(merged, want) << c.first;
    EXPECT_EQ(inserted, want) << c.first;
  }
}

}  // namespace
