// OvVector and OvPointerVector: the index test with its message, RemoveAt,
// ownership of pointed-to elements, and allocation through OvAllocate.
#include <gtest/gtest.h>

#include <functional>

#include "foundation/ov_alloc.h"
#include "foundation/ov_exception.h"
#include "foundation/ov_vector.h"

OvException caught(const std::function<void()>& f);

namespace {

TEST(OvVector, IndexOutsideTheBoundsRaisesRangeError) {
  struct Case {
    size_t size;
    int32_t lowerBound, index;
    const char* message;
  } cases[] = {
      {0, 0, 0, "Index 0 out of range; array is from 0 to -1"},
      {3, 0, 3, "Index 3 out of range; array is from 0 to 2"},
      {3, 0, -1, "Index -1 out of range; array is from 0 to 2"},
      {3, 1, 0, "Index 0 out of range; array is from 1 to 3"},
      {2, -5, INT32_MAX, "Index 2147483647 out of range; array is from -5 to -4"},
  };
  for (auto& c : cases) {
    OvVector<int> v(c.size, c.lowerBound, 9);
    OvException read = caught([&] { v[c.index]; });
    OvException removal = caught([&] { v.RemoveAt(c.index); });
    for (const OvException* e : {&read, &removal}) {
      EXPECT_STREQ(e->GetMessage(), c.message);
      EXPECT_STREQ(e->GetOrigin(), "OvVector");
    }
    EXPECT_EQ(v.size(), c.size);
  }
}

TEST(OvVector, LowerBoundRemovalAndSharedCopies) {
  OvVector<int> v(3, 1, 0);
  v[1] = 10;
  v[3] = 30;
  EXPECT_EQ(v.front(), 10);
  v.RemoveAt(2);
  EXPECT_EQ(v[2], 30);
  v.RemoveAt(1);
  v.RemoveAt(1);
  EXPECT_TRUE(v.empty());

  int a = 1, b = 2;
  OvVector<int*> source;
  source.push_back(&a);
  source.push_back(&b);
  OvVector<int*> copy(source);
  copy.RemoveAt(0);
  EXPECT_EQ(source.size(), 2u);
  EXPECT_EQ(copy[0], source[1]);
}

struct Counted {
  explicit Counted(int* deaths) : deaths(deaths) {}
  virtual ~Counted() { ++*deaths; }
  int* deaths;
};

TEST(OvPointerVector, DeletesEachElementOnceAndSkipsNulls) {
  int deaths = 0;
  {
    OvPointerVector<Counted> owner;
    owner.push_back(new Counted(&deaths));
    owner.push_back(nullptr);
    owner.push_back(new Counted(&deaths));
    owner.DeleteAll();
    EXPECT_EQ(deaths, 2);
    EXPECT_TRUE(owner.empty());
    owner.push_back(new Counted(&deaths));
  }
  EXPECT_EQ(deaths, 3);
}

TEST(OvAllocator, GrowthFailureRaisesMemoryException) {
  OvVector<int> v;
  OvFailAllocationAfter(0);
  EXPECT_THROW(v.push_back(1), OvMemoryException);
  EXPECT_TRUE(v.empty());
  v.push_back(1);
  EXPECT_EQ(v[0], 1);
}

}  // namespace
