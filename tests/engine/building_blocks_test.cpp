// The engine's building blocks where a fault would pass every whole-run
// test unseen: an exception thrown on a worker, the order of equal keys in
// the merge sort (which both methods use), and the size check of a work
// block.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <limits>
#include <random>
#include <stdexcept>
#include <vector>

#include "engine/allocation.h"
#include "engine/parallel.h"
#include "engine/sorting.h"

using namespace tessel;

namespace {

TEST(ForEachChunk, AWorkersExceptionReachesTheCallerAfterAllStop) {
  for (int32_t workers : {1, 2, 4}) {
    std::atomic<int32_t> running{0}, chunksRun{0};
    try {
      forEachChunk(1000, 10, workers, [&](int32_t begin, int32_t, int32_t) {
        ++running, ++chunksRun;
        const bool fails = begin == 500;
        --running;
        if (fails) throw std::runtime_error("chunk 50");
      });
      ADD_FAILURE() << "nothing thrown";
    } catch (const std::runtime_error& e) {
      EXPECT_STREQ(e.what(), "chunk 50");
    }
    EXPECT_EQ(running.load(), 0) << workers;  // no worker still inside a chunk
    EXPECT_LE(chunksRun.load(), 100) << workers;
  }
}

// The merge sort against std::stable_sort on keys with many ties: the
// payload shows whether equal keys kept their order.
TEST(MergeSort, StableLikeTheLibrarysSort) {
  struct Item {
    int key, payload;
  };
  auto less = [](const Item& a, const Item& b) { return a.key < b.key; };
  std::mt19937 random(7);
  for (size_t n : {0, 1, 2, 15, 16, 17, 33, 100, 1000}) {
    for (int distinct : {1, 3, 1000}) {
      std::vector<Item> items(n), want;
      for (size_t k = 0; k < n; ++k) items[k] = {int(random() % distinct), int(k)};
      want = items;
      std::stable_sort(want.begin(), want.end(), less);
      std::vector<Item> scratch(n / 2 + 1);
      mergeSort(items.data(), n, scratch.data(), less);
      for (size_t k = 0; k < n; ++k) ASSERT_EQ(items[k].payload, want[k].payload) << n << " " << k;
    }
  }
}

TEST(WorkBlockSize, RefusesNegativeAndOverflowingCounts) {
  const struct {
    int64_t count;
    size_t elementSize;
    size_t want;
  } cases[] = {{0, 8, 0},
               {3, 8, 24},
               {-1, 8, SIZE_MAX},
               {std::numeric_limits<int64_t>::min(), 1, SIZE_MAX},
               {int64_t{1} << 61, 8, SIZE_MAX},  // 2^64: one past the largest size
               {(int64_t{1} << 61) - 1, 8, (size_t{1} << 63) * 2 - 8},
               {std::numeric_limits<int64_t>::max(), 2, SIZE_MAX - 1},
               {std::numeric_limits<int64_t>::max(), 3, SIZE_MAX}};
  for (const auto& c : cases) {
    EXPECT_EQ(workBlockSize(c.count, c.elementSize), c.want) << c.count << " x " << c.elementSize;
  }
}

}  // namespace
