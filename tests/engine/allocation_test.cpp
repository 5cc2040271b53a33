// The page-size advice is a hint: a block keeps its bytes, whatever its
// size and alignment, and degenerate blocks are left alone.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "engine/allocation.h"

namespace tessel {
namespace {

TEST(PageAdvice, BlocksKeepTheirBytes) {
  adviseHugePages(nullptr, 0);
  adviseHugePages(nullptr, SIZE_MAX);
  adviseSmallPages(nullptr, SIZE_MAX);
  const size_t kMiB = size_t{1} << 20;
  for (const size_t bytes : {size_t{1}, kMiB, 2 * kMiB, 5 * kMiB + 3, 9 * kMiB}) {
    for (const size_t offset : {size_t{0}, size_t{8}, size_t{4096}}) {
      std::unique_ptr<unsigned char[], FreeBlock> block(
          static_cast<unsigned char*>(std::malloc(bytes + offset)));
      ASSERT_NE(block, nullptr);
      unsigned char* data = block.get() + offset;
      for (size_t k = 0; k < bytes; ++k) data[k] = static_cast<unsigned char>(k * 7 + 1);
      adviseHugePageArray(data, static_cast<int64_t>(bytes));
      adviseSmallPages(data + bytes / 2, bytes - bytes / 2);
      size_t wrong = 0;
      for (size_t k = 0; k < bytes; ++k) wrong += data[k] != static_cast<unsigned char>(k * 7 + 1);
      EXPECT_EQ(wrong, 0u) << bytes << " bytes at offset " << offset;
    }
  }
}

}  // namespace
}  // namespace tessel
