// Exceptions, the trace convention and the allocation module (emergency
// reserve, memory messages, OvCopyString, failure seam). Also defines the
// small helper the other foundation tests share.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <typeinfo>

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

TEST(OvException, RaiseFillsMessageOriginAndLevel) {
  OvException e = caught([] { OvException::Raise("Index %d out of range; array is from %d to %d", "OvVector", 5, 0, 3); });
  EXPECT_STREQ(e.GetMessage(), "Index 5 out of range; array is from 0 to 3");
  EXPECT_STREQ(e.GetOrigin(), "OvVector");
  EXPECT_STREQ(e.GetTrace(), "");
  EXPECT_EQ(e.GetLevel(), 0);
  try {
    OvException::Raise(nullptr, nullptr);
  } catch (const OvException& raw) {
    EXPECT_EQ(typeid(raw), typeid(OvException));
    EXPECT_STREQ(raw.GetMessage(), "");
    EXPECT_STREQ(raw.GetOrigin(), "");
  }
  std::string longText(10000, 'q');  // no length limit
  EXPECT_EQ(caught([&] { OvException::Raise("<%s>", "X", longText.c_str()); }).GetMessage(), "<" + longText + ">");
}

TEST(OvException, CopyKeepsEveryFieldVerbatim) {
  OvException original("100%% sure", "Origin", 7);
  original.AddTraceEntry("Op()", "Cls");
  OvException copy(original);
  OvException assigned;
  assigned = original;
  for (const OvException* e : {&original, &copy, &assigned}) {
    EXPECT_STREQ(e->GetMessage(), "100% sure");
    EXPECT_STREQ(e->GetOrigin(), "Origin");
    EXPECT_STREQ(e->GetTrace(), "Op() of Cls");
    EXPECT_EQ(e->GetLevel(), 7);
  }
}

TEST(OvException, TraceEntriesAreJoinedByCrLf) {
  const char* steps[][3] = {
      {"Insert()", "OvString", "Insert() of OvString"},
      {"SetExtension()", "OvFileName", "Insert() of OvString\r\nSetExtension() of OvFileName"},
      {nullptr, "C", "Insert() of OvString\r\nSetExtension() of OvFileName\r\n of C"},
      {"Bare", nullptr, "Insert() of OvString\r\nSetExtension() of OvFileName\r\n of C\r\nBare"},
  };
  OvException e;
  for (auto& step : steps) {
    e.AddTraceEntry(step[0], step[1]);
    EXPECT_STREQ(e.GetTrace(), step[2]);
  }
  // OvTraced adds entries to OvExceptions only, innermost first.
  OvException nested = caught([] {
    OvTraced("Outer()", "B", [] { OvTraced("Inner()", "A", [] { OvException::Raise("m", "A"); }); });
  });
  EXPECT_STREQ(nested.GetTrace(), "Inner() of A\r\nOuter() of B");
  EXPECT_THROW(OvTraced("Op()", "C", [] { throw std::bad_alloc(); }), std::bad_alloc);
}

TEST(OvException, SystemErrorIsJoinedWithoutSeparator) {
  std::string system = std::strerror(ENOENT);
  OvException after("path -- ");
  OvException before("<tail");
  errno = ENOENT;
  after.AppendSystemError(false);
  errno = ENOENT;
  before.AppendSystemError(true);
  EXPECT_EQ(after.GetMessage(), "path -- " + system);
  EXPECT_EQ(before.GetMessage(), system + "<tail");
  errno = EACCES;
  OvException raised = caught([] { OvException::RaiseWithSystemError("%s -- ", false, "Mod", "op"); });
  EXPECT_EQ(raised.GetMessage(), "op -- " + std::string(std::strerror(EACCES)));
}

TEST(OvAllocate, ZeroBytesAndBadRequests) {
  char* a = OvAllocate(0);
  char* b = OvAllocate(0);
  EXPECT_NE(a, b);
  delete[] a;
  delete[] b;
  const std::pair<std::function<void()>, const char*> cases[] = {
      {[] { OvAllocate(-1); }, "-1"},
      {[] { OvAllocate(INT32_MIN); }, "-2147483648"},
      {[] { OvAllocateSize(size_t(1) << 31); }, "-1"},
      {[] { OvAllocateSize(SIZE_MAX); }, "-1"},
  };
  for (auto& c : cases) {
    try {
      c.first();
      ADD_FAILURE() << c.second;
    } catch (const OvMemoryException& e) {
      EXPECT_EQ(e.GetMessage(), "Bad memory allocation request - tried to allocate " + std::string(c.second) + " bytes.");
      EXPECT_STREQ(e.GetOrigin(), "");
      EXPECT_STREQ(e.GetTrace(), "");
    }
  }
}

TEST(OvAllocate, FailureReleasesReserveWhichNextSuccessRecreates) {
  delete[] OvAllocate(1);
  ASSERT_TRUE(OvHasEmergencyReserve());
  OvFailAllocationAfter(2);
  int64_t before = OvAllocationCount();
  delete[] OvAllocate(1);
  delete[] OvAllocate(1);
  EXPECT_STREQ(caught([] { OvAllocate(10); }).GetMessage(), "Out of memory - tried to allocate 10 bytes.");
  EXPECT_EQ(OvAllocationCount() - before, 3);
  EXPECT_FALSE(OvHasEmergencyReserve());
  OvFailAllocationAfter(0);  // a second failure, without a reserve, reports the same way
  try {
    OvAllocate(7);
  } catch (const std::bad_alloc& e) {  // an OvMemoryException is a bad_alloc too
    EXPECT_STREQ(dynamic_cast<const OvException&>(e).GetMessage(), "Out of memory - tried to allocate 7 bytes.");
  }
  delete[] OvAllocate(3);  // the seam fired once; success brings the reserve back
  EXPECT_TRUE(OvHasEmergencyReserve());
}

TEST(OvCopyString, ReplacesCopiesAndKeepsOldTextOnFailure) {
  char* text = OvAllocate(1);
  OvCopyString(&text, "abc", 4);
  const char* same = text;
  OvCopyString(&text, text, 10);
  EXPECT_EQ(text, same);
  OvCopyString(&text, text + 1, 0);  // a source inside the old block
  EXPECT_STREQ(text, "bc");
  OvCopyString(&text, nullptr, 3);
  EXPECT_STREQ(text, "");
  OvCopyString(&text, "keep", 0);
  OvFailAllocationAfter(0);
  EXPECT_STREQ(caught([&] { OvCopyString(&text, "replacement", 0); }).GetTrace(), "OvCopyString of OvAlloc");
  EXPECT_STREQ(text, "keep");
  delete[] text;
  OvException e = caught([] { OvCopyString(nullptr, "x", 0); });
  EXPECT_STREQ(e.GetMessage(), "Invalid destination pointer");
  EXPECT_STREQ(e.GetOrigin(), "OvAlloc");
  EXPECT_STREQ(e.GetTrace(), "OvCopyString of OvAlloc");
}

}  // namespace
