// OvString: growth rules, appenders, searching and editing with their
// messages and trace lines, self-referencing edits, failed growth, OvDeblank.
#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cstring>
#include <functional>
#include <string>

#include "foundation/ov_alloc.h"
#include "foundation/ov_exception.h"
#include "foundation/ov_string.h"

OvException caught(const std::function<void()>& f);

namespace {

using Edit = std::function<void(OvString&)>;
const std::string k40(40, 'L');

TEST(OvString, CapacitiesFollowTheGrowthRules) {
  const std::pair<Edit, uint32_t> cases[] = {
      {[](OvString&) {}, 32},
      {[](OvString& s) { s = std::string(31, 'a').c_str(); }, 32},
      {[](OvString& s) { s = k40.c_str(); }, 72},
      {[](OvString& s) { s.Append(k40.c_str()); }, 96},  // growth 60, request 92
      {[](OvString& s) { s = std::string(4089, 'd').c_str(); }, 4121},
      {[](OvString& s) { s = std::string(4064, 'd').c_str(); s.Append(std::string(25, 'e').c_str()); }, 4096},
      {[](OvString& s) { s = std::string(4064, 'd').c_str(); s << std::string(25, 'e').c_str() << "0123456789"; },
       5152},
  };
  for (auto& c : cases) {
    OvString s;
    c.first(s);
    EXPECT_EQ(s.GetCapacity(), c.second) << s.GetLength();
  }
}

TEST(OvString, AppendersFormatNumbers) {
  const std::pair<Edit, const char*> cases[] = {
      {[](OvString& s) { s << short(-5) << ' '; s += short(7); }, "-5 7"},
      {[](OvString& s) { s << INT_MIN << ' ' << LONG_MIN; }, "-2147483648 -9223372036854775808"},
      {[](OvString& s) { s << static_cast<unsigned short>(65535) << ' ' << 4294967295u; }, "65535 4294967295"},
      {[](OvString& s) { s << 4294967295ul << ' ' << ULONG_MAX; }, "4294967295 18446744073709551615"},
      {[](OvString& s) { s << 2.5 << ' ' << -0.0000004; }, "2.500000 -0.000000"},
      {[](OvString& s) { s << true << false << 'z' << '\0' << 'y'; }, "truefalsezy"},
      {[](OvString& s) { s << "junk" << ClearText << "Row " << 12 << NewLine << static_cast<ControlCode>(7); },
       "Row 12\r\n"},
  };
  for (auto& c : cases) {
    OvString s;
    c.first(s);
    EXPECT_STREQ(s.GetCString(), c.second);
  }
  OvString huge;
  huge << DBL_MAX;
  EXPECT_EQ(huge.GetLength(), 316u);
}

TEST(OvString, SelfReferencingEditsWork) {
  OvString s("abc");
  s.Append(s);
  EXPECT_STREQ(s.GetCString(), "abcabc");
  OvString big(std::string(30, 'x').c_str());
  big.Append(big.GetCString() + 10);  // grows while pointing at the old storage
  EXPECT_EQ(big.GetCString(), std::string(50, 'x'));
  OvString ins("abcd");
  ins.Insert(ins.GetCString() + 1, 1);
  EXPECT_STREQ(ins.GetCString(), "abcdbcd");
  OvString same("same");
  same += same;
  same << same;
  same = same.GetCString();
  EXPECT_STREQ(same.GetCString(), "same");
  OvString tail("prefix-tail");
  tail = tail.GetCString() + 7;
  EXPECT_STREQ(tail.GetCString(), "tail");
}

TEST(OvString, FailedGrowthKeepsTheOldText) {
  struct Case {
    Edit edit;
    int64_t seam;  // successful allocations before the failing one
    const char* trace;
  } cases[] = {
      {[](OvString& s) { s.Append(k40.c_str()); }, 0, "Reallocate() of OvString\r\nAppend(char *) of OvString"},
      {[](OvString& s) { s.Insert(k40.c_str(), 1); }, 0, "Reallocate() of OvString\r\nInsert() of OvString"},
      {[](OvString& s) { s = k40.c_str(); }, 0, "OvCopyString of OvAlloc\r\ncopy() of OvString"},
      {[](OvString& s) { s << 123456789; }, 1,  // the scratch block is the one success
       "Reallocate() of OvString\r\nAppend(char *) of OvString\r\nAppend(int) of OvString"},
  };
  for (auto& c : cases) {
    OvString s(std::string(24, 'h').c_str());
    OvFailAllocationAfter(c.seam);
    OvException e = caught([&] { c.edit(s); });
    OvFailAllocationAfter(-1);
    EXPECT_STREQ(e.GetTrace(), c.trace);
    EXPECT_EQ(s.GetCString(), std::string(24, 'h'));
    EXPECT_EQ(s.GetCapacity(), 32u);
    s.Append(k40.c_str());  // and it works afterwards
    EXPECT_EQ(s.GetLength(), 64u);
  }
}

TEST(OvString, FindForwardAndReverse) {
  struct Case {
    const char* text;
    const char* pattern;
    uint32_t start;
    bool reverse;
    int32_t result;
  } cases[] = {
      {"abcb", "b", 0, false, 1}, {"abcb", "b", 0, true, 3},  {"abcb", "b", 4, false, -1},
      {"abcb", "b", 2, false, 3}, {"abcb", "x", 0, true, -1}, {"abcb", "", 2, false, 2},
      {"abcb", "", 1, true, 4},   {"aaaa", "aa", 0, true, 2}, {"", "", 0, true, 0},
  };
  for (auto& c : cases) {
    EXPECT_EQ(OvString(c.text).Find(c.pattern, c.start, c.reverse), c.result) << c.text << "/" << c.pattern;
  }
  OvString s("abcb");
  EXPECT_EQ(s.Find('c'), 2);
  EXPECT_EQ(s.Find(OvString("b"), 0, true), 3);
  EXPECT_TRUE(s.BeginsWith("") && s.BeginsWith("ab") && !s.BeginsWith("abcbb"));
  EXPECT_TRUE(s.EndsWith("") && s.EndsWith("cb") && s.EndsWith('\0') && !s.EndsWith('c') && !s.EndsWith("xabcb"));
}

TEST(OvString, EditingOperations) {
  OvString ext("txt");
  ext.Insert(".", 0);
  ext.Insert("!", 4);
  EXPECT_STREQ(ext.GetCString(), ".txt!");
  OvString r("abcdef");
  r.Remove(1, 2);
  r.Remove(4, 0);
  EXPECT_STREQ(r.GetCString(), "adef");
  r.Truncate(1);
  EXPECT_STREQ(r.GetCString(), "a");
  OvString cut("abcd");
  cut[2] = '\0';
  EXPECT_STREQ(cut.GetCString(), "ab");
  const std::pair<int32_t, const char*> substrings[] = {{-1, "bc"}, {0, ""}, {2, "bc"}, {1, "b"}};
  for (auto& c : substrings) EXPECT_STREQ(OvString("abc").GetSubstring(1, c.first).GetCString(), c.second);
  EXPECT_STREQ(OvString("abc").GetSubstring(3, 0).GetCString(), "");
}

TEST(OvString, ArgumentErrorsLeaveTheStringUnchanged) {
  struct Case {
    Edit edit;
    const char* message;
    const char* trace;
  } cases[] = {
      {[](OvString& s) { s.Append(static_cast<const char*>(nullptr)); }, "Invalid string (null) passed to Append",
       "Append(char *) of OvString"},
      {[](OvString& s) { s.Insert(nullptr, 0); }, "Invalid string (null) passed to Insert", "Insert() of OvString"},
      {[](OvString& s) { s.Insert(".", 5); }, "Invalid Insert past end of string", "Insert() of OvString"},
      {[](OvString& s) { s.Remove(3, 2); }, "Invalid parameter passed to Remove()", "Remove() of OvString"},
      {[](OvString& s) { s.Remove(1, UINT32_MAX); }, "Invalid parameter passed to Remove()", "Remove() of OvString"},
      {[](OvString& s) { s.Truncate(5); }, "Invalid parameter passed to Truncate()", "Truncate() of OvString"},
      {[](OvString& s) { s[5] = 'x'; }, "Invalid index to OvString element", ""},
      {[](OvString& s) { s.Find("b", 5); }, "Start position is longer than string", "Find() of OvString"},
      {[](OvString& s) { s.Find(static_cast<const char*>(nullptr)); }, "Invalid parameter (null) passed to Find()",
       "Find() of OvString"},
      {[](OvString& s) { s.BeginsWith(nullptr); }, "Invalid parameter in BeginsWith()", "BeginsWith() of OvString"},
      {[](OvString& s) { s.EndsWith(static_cast<const char*>(nullptr)); }, "Invalid parameter in EndsWith()",
       "EndsWith() of OvString"},
      {[](OvString& s) { s.GetSubstring(5, -1); }, "lStart (value=5) must not be greater than GetLength (value=4)",
       "GetSubstring() of OvString"},
      {[](OvString& s) { s.GetSubstring(1, 4); },
       "Substring length (value=4) must be less than or equal to GetLength (value=4) minus lStart (value=1).",
       "GetSubstring() of OvString"},
  };
  for (auto& c : cases) {
    OvString s("abcd");
    OvException e = caught([&] { c.edit(s); });
    EXPECT_STREQ(e.GetMessage(), c.message);
    EXPECT_STREQ(e.GetOrigin(), "OvString");
    EXPECT_STREQ(e.GetTrace(), c.trace);
    EXPECT_STREQ(s.GetCString(), "abcd");
  }
}

TEST(OvDeblank, StripsSignedBlanks) {
  struct Case {
    const char* text;
    bool leading, trailing;
    const char* result;
  } cases[] = {
      {" \tx y\r\n", true, true, "x y"}, {" \tx y\r\n", true, false, "x y\r\n"}, {" \tx y\r\n", false, true, " \tx y"},
      {"caf\xE9", true, true, "caf"},    {"\x80\xFFok", true, false, "ok"},     {" \t ", true, false, ""},
      {"!~", true, true, "!~"},
  };
  for (auto& c : cases) {
    char buffer[32];
    std::strcpy(buffer, c.text);
    EXPECT_STREQ(OvDeblank(buffer, c.leading, c.trailing), c.result);
  }
  OvException e = caught([] { OvDeblank(nullptr, true, true); });
  EXPECT_STREQ(e.GetMessage(), "Invalid (null) pointer passed to OvDeblank");
  EXPECT_STREQ(e.GetOrigin(), "OvDeblank");
}

}  // namespace
