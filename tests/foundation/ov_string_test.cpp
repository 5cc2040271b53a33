// OvString: searching, growth rules, edits (also of texts from the string's
// own storage), argument errors with their messages and trace lines, and
// OvDeblank.
#include <gtest/gtest.h>

#include <cstdint>
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

TEST(OvString, Searches) {
  const struct {
    const char* pattern;
    uint32_t start;
    bool reverse;
    int32_t result;
  } finds[] = {{"b", 0, false, 1},
               {"b", 2, false, 3},
               {"b", 0, true, 3},
               {"x", 0, true, -1},
               {"", 1, true, 4}};
  for (auto& c : finds) EXPECT_EQ(OvString("abcb").Find(c.pattern, c.start, c.reverse), c.result);
  EXPECT_EQ(OvString("aaa").Find("aa", 0, true), 1);
  OvString s("abcb");
  EXPECT_TRUE(s.BeginsWith("abcb") && s.BeginsWith("ab") && !s.BeginsWith("abcbb"));
  EXPECT_TRUE(s.EndsWith("cb") && s.EndsWith('\0') && !s.EndsWith('c') && !s.EndsWith("xabcb"));
}

// Each edit starts from "abcd" (capacity 32).
TEST(OvString, EditsGiveTextAndCapacity) {
  const std::string big = std::string(4064, 'd') + std::string(25, 'e') + "0123456789";
  const struct {
    Edit edit;
    std::string text;
    uint32_t capacity;
  } cases[] = {
      {[](OvString& t) { t = std::string(31, 'a').c_str(); }, std::string(31, 'a'), 32},
      {[](OvString& t) { t = std::string(32, 'a').c_str(); }, std::string(32, 'a'), 64},
      {[](OvString& t) { t = k40.c_str(); }, k40, 72},
      {[](OvString& t) { t.Append(k40.c_str()); }, "abcd" + k40, 96},  // growth 60, request 92
      {[](OvString& t) {
         (t = std::string(4064, 'd').c_str()) << std::string(25, 'e').c_str() << "0123456789";
       },
       big, 5152},
      {[](OvString& t) { t.Insert(".", 0), t.Insert("!", 5); }, ".abcd!", 32},
      {[](OvString& t) { t.Remove(1, 2), t.Remove(2, 0), t.Remove(1, 1); }, "a", 32},
      {[](OvString& t) { t[1] = 'X', t[4] = '\0'; }, "aXcd", 32},  // the terminator is writable
      {[](OvString& t) {
         t = t.GetSubstring(1, 3) << t.GetSubstring(0, 1) << t.GetSubstring(4, -1);
       },
       "bcda", 32},
      // Texts taken from the string's own storage.
      {[](OvString& t) { (t += t) << t, t.Append(t); }, "abcdabcd", 32},
      {[](OvString& t) { t.Insert(t.GetCString() + 2, 1); }, "acdbcd", 32},
      {[](OvString& t) { (t << "-efghijklmnopqrstuvwxyz").Append(t.GetCString() + 5); },  // grows
       "abcd-efghijklmnopqrstuvwxyzefghijklmnopqrstuvwxyz", 96},
      {[](OvString& t) { t = t.GetCString() + 2; }, "cd", 32}};
  for (auto& c : cases) {
    OvString t("abcd");
    c.edit(t);
    EXPECT_EQ(t.GetCString(), c.text);
    EXPECT_EQ(t.GetCapacity(), c.capacity) << c.text;
  }
}

TEST(OvString, ArgumentErrorsLeaveTheStringUnchanged) {
  const struct {
    Edit edit;
    const char *message, *trace;
  } cases[] = {
      {[](OvString& s) { s.Insert(".", 5); }, "Invalid Insert past end of string",
       "Insert() of OvString"},
      {[](OvString& s) { s.Remove(1, UINT32_MAX); }, "Invalid parameter passed to Remove()",
       "Remove() of OvString"},
      {[](OvString& s) { s.Truncate(5); }, "Invalid parameter passed to Truncate()",
       "Truncate() of OvString"},
      {[](OvString& s) { s[5] = 'x'; }, "Invalid index to OvString element", ""},
      {[](OvString& s) { s.Find(static_cast<const char*>(nullptr)); },
       "Invalid parameter (null) passed to Find()", "Find() of OvString"},
      {[](OvString& s) { s.GetSubstring(5, -1); },
       "lStart (value=5) must not be greater than GetLength (value=4)",
       "GetSubstring() of OvString"},
      {[](OvString& s) { s.GetSubstring(1, 4); },
       "Substring length (value=4) must be less than or equal to GetLength (value=4) minus lStart "
       "(value=1).",
       "GetSubstring() of OvString"}};
  for (auto& c : cases) {
    OvString s("abcd");
    OvException e = caught([&] { c.edit(s); });
    EXPECT_STREQ(e.GetMessage(), c.message);
    EXPECT_STREQ(e.GetOrigin(), "OvString");
    EXPECT_STREQ(e.GetTrace(), c.trace);
    EXPECT_STREQ(s.GetCString(), "abcd");
  }
}

// Blanks are the bytes 1 to 32; from 0x80 up (UTF-8, code pages) and 0x7F
// are text.
TEST(OvDeblank, StripsControlCharactersAndSpacesOnly) {
  const struct {
    const char* text;
    bool leading, trailing;
    const char* result;
  } cases[] = {{" \tx y\r\n", true, false, "x y\r\n"},
               {" \tx y\r\n", false, true, " \tx y"},
               {"\x80\xFFok\xA0", true, true, "\x80\xFFok\xA0"},
               {" \t ", true, false, ""},
               {"\x01\x1F!~\x7F \x20", true, true, "!~\x7F"}};
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
