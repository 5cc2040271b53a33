// OvVector: the index test with its message, in [] and RemoveAt.
#include <gtest/gtest.h>

#include <functional>

#include "foundation/ov_exception.h"
#include "foundation/ov_vector.h"

OvException caught(const std::function<void()>& f);

namespace {

TEST(OvVector, IndexOutsideTheBoundsRaisesRangeError) {
  const struct { size_t size; int32_t lowerBound, index; const char* message; } cases[] = {
      {0, 0, 0, "Index 0 out of range; array is from 0 to -1"}, {3, 0, 3, "Index 3 out of range; array is from 0 to 2"},
      {3, 1, 0, "Index 0 out of range; array is from 1 to 3"},
      {2, -5, INT32_MAX, "Index 2147483647 out of range; array is from -5 to -4"},
  };
  for (auto& c : cases) {
    OvVector<int> v(c.size, c.lowerBound, 9);
    for (const OvException& e : {caught([&] { v[c.index]; }), caught([&] { v.RemoveAt(c.index); })}) {
      EXPECT_STREQ(e.GetMessage(), c.message);
      EXPECT_STREQ(e.GetOrigin(), "OvVector");
    }
    EXPECT_EQ(v.size(), c.size);
  }
}

}  // namespace
