// The allocation module: bad requests, the emergency reserve and the memory
// messages; also defines the helper the other foundation tests share.
#include <gtest/gtest.h>

#include <functional>

#include "foundation/ov_alloc.h"
#include "foundation/ov_exception.h"

// Runs f and returns the OvException it raised (a failure when none).
OvException caught(const std::function<void()>& f) {
  try {
    f();
  } catch (const OvException& e) {
    return e;
  }
  ADD_FAILURE() << "no OvException raised";
  return OvException();
}

namespace {

TEST(OvAllocate, BadRequestsIncludingSizesBeyond32Bits) {
  const char kBad[] = "Bad memory allocation request - tried to allocate -1 bytes.";
  EXPECT_STREQ(caught([] { OvAllocate(-1); }).GetMessage(), kBad);
  // The second must not wrap to 5 bytes.
  for (size_t size : {size_t(1) << 31, (size_t(1) << 32) + 5})
    EXPECT_STREQ(caught([&] { OvAllocateSize(size); }).GetMessage(), kBad);
}

TEST(OvAllocate, FailureReleasesReserveWhichNextSuccessRecreates) {
  delete[] OvAllocate(1);
  ASSERT_TRUE(OvHasEmergencyReserve());
  OvFailAllocationAfter(1);
  delete[] OvAllocate(1);
  EXPECT_STREQ(caught([] { OvAllocate(10); }).GetMessage(),
               "Out of memory - tried to allocate 10 bytes.");
  EXPECT_FALSE(OvHasEmergencyReserve());
  // A second failure, without a reserve, still raises (as a bad_alloc too).
  OvFailAllocationAfter(0);
  EXPECT_THROW(OvAllocate(7), std::bad_alloc);
  delete[] OvAllocate(3);  // the seam fired once; success brings the reserve back
  EXPECT_TRUE(OvHasEmergencyReserve());
}

}  // namespace
