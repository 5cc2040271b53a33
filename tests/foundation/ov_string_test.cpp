// OvString: prefixes and suffixes, growth rules, edits (also of texts from
// its own storage), and argument errors with their messages. (Its Find and
// OvDeblank are OvFileName's test's: its splits take every form of search
// and blank it uses, a byte from 0x80 up beside a trailing blank included.)
// OvStringTokenizer: grouped texts and two error messages with their traces
// (plain splits, re-splits, changes of text or delimiter, null arguments and
// the exception classes are the tokenizer model's, replayed from fuzz/).
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "foundation/ov_exception.h"
#include "foundation/ov_string.h"
#include "foundation/ov_string_tokenizer.h"

OvException caught(const std::function<void()>& f);

namespace {

using Edit = std::function<void(OvString&)>;
const std::string k40(40, 'L');

// Prefixes and suffixes longer than the text, and a suffix one byte off
// (OvFileName's callers pass only texts that end as asked).
TEST(OvString, BeginsAndEndsWith) {
  const OvString s("abcb");
  EXPECT_TRUE(s.BeginsWith("abcb") && s.BeginsWith("ab") && !s.BeginsWith("abcbb"));
  EXPECT_TRUE(s.EndsWith("cb") && s.EndsWith('\0') && !s.EndsWith('c') && !s.EndsWith("xabcb"));
}

// Each edit starts from "abcd" (capacity 32); the text survives growth, with
// room for its terminator, and texts taken from the string's own storage
// survive their move.
TEST(OvString, Edits) {
  const std::string big = std::string(4064, 'd') + std::string(25, 'e') + "0123456789";
  const std::pair<Edit, std::string> cases[] = {
      {[](OvString& t) { t = std::string(31, 'a').c_str(); }, std::string(31, 'a')},
      {[](OvString& t) { t = std::string(32, 'a').c_str(); }, std::string(32, 'a')},
      {[](OvString& t) { t.Append(k40.c_str()); }, "abcd" + k40},
      {[](OvString& t) {
         (t = std::string(4064, 'd').c_str()) << std::string(25, 'e').c_str() << "0123456789";
       },
       big},
      {[](OvString& t) { t.Insert(".", 0), t.Insert("!", 5); }, ".abcd!"},
      {[](OvString& t) { t.Remove(1, 2), t.Remove(2, 0), t.Remove(1, 1); }, "a"},
      {[](OvString& t) { t[1] = 'X', t[4] = '\0'; }, "aXcd"},  // the terminator is writable
      {[](OvString& t) {
         t = t.GetSubstring(1, 3) << t.GetSubstring(0, 1) << t.GetSubstring(4, -1);
       },
       "bcda"},
      {[](OvString& t) { (t += t) << t, t.Append(t); }, "abcdabcd"},
      {[](OvString& t) { t.Insert(t.GetCString() + 2, 1); }, "acdbcd"},
      {[](OvString& t) { (t << "-efghijklmnopqrstuvwxyz").Append(t.GetCString() + 5); },  // grows
       "abcd-efghijklmnopqrstuvwxyzefghijklmnopqrstuvwxyz"},
      {[](OvString& t) { t = t.GetCString() + 2; }, "cd"}};
  for (auto& c : cases) {
    OvString t("abcd");
    c.first(t);
    EXPECT_EQ(t.GetCString(), c.second);
    EXPECT_GT(t.GetCapacity(), c.second.size()) << c.second;
  }
}

// A bad argument raises its message (the trace mechanism is checked with
// the tokenizer's and OvFileName's errors) and changes nothing.
TEST(OvString, ArgumentErrorsLeaveTheStringUnchanged) {
  const std::pair<Edit, const char*> cases[] = {
      {[](OvString& s) { s.Insert(".", 5); }, "Invalid Insert past end of string"},
      {[](OvString& s) { s.Remove(1, UINT32_MAX); }, "Invalid parameter passed to Remove()"},
      {[](OvString& s) { s.Truncate(5); }, "Invalid parameter passed to Truncate()"},
      {[](OvString& s) { s[5] = 'x'; }, "Invalid index to OvString element"},
      {[](OvString& s) { s.Find(static_cast<const char*>(nullptr)); },
       "Invalid parameter (null) passed to Find()"},
      {[](OvString& s) { s.GetSubstring(5, -1); },
       "lStart (value=5) must not be greater than GetLength (value=4)"},
      {[](OvString& s) { s.GetSubstring(1, 4); },
       "Substring length (value=4) must be less than or equal to GetLength (value=4) minus lStart "
       "(value=1)."}};
  for (auto& c : cases) {
    OvString s("abcd");
    OvException e = caught([&] { c.first(s); });
    EXPECT_STREQ(e.GetMessage(), c.second);
    EXPECT_STREQ(e.GetOrigin(), "OvString");
    EXPECT_STREQ(s.GetCString(), "abcd");
  }
}

using Tokens = std::vector<std::string>;

Tokens readAll(OvStringTokenizer& tokenizer) {
  Tokens tokens;
  while (tokenizer.GetRemainingTokenCount() > 0)
    tokens.push_back(tokenizer.GetNextToken().GetCString());
  return tokens;
}

TEST(OvStringTokenizer, SplitsGroups) {
  const struct {
    const char* text;
    Tokens tokens;
    const char *groupBegin = nullptr, *groupEnd = nullptr;
    bool keepGroupDelimiters = false;
  } cases[] = {
      {"\"a,b\",c", {"a,b", "c"}, "\""},
      {"\"a,b\",c", {"\"a,b\"", "c"}, "\"", nullptr, true},
      {"\"a\"x,y,\"b\"", {"a", "y", "b"}, "\""},  // the rest of a group's field is dropped
      {"x,[p,q],y", {"x", "p,q", "y"}, "[", "]"},
      {"x, [p,q]", {"x", "[p,q]"}, "[", "]", true},
  };
  for (auto& c : cases) {
    OvStringTokenizer tokenizer(c.text, ",", c.groupBegin, c.keepGroupDelimiters, c.groupEnd);
    EXPECT_EQ(readAll(tokenizer), c.tokens) << c.text;
  }
}

// The messages and traces of an unterminated group and of a read past the end.
TEST(OvStringTokenizer, Errors) {
  const OvException unterminated = caught([] { OvStringTokenizer bad("\"a,b", ",", "\""); });
  EXPECT_STREQ(unterminated.GetMessage(),
               "A group token has no end delimeter.\nCannot retrieve token as specified.\nPlease "
               "correct.\n\n");
  EXPECT_STREQ(unterminated.GetOrigin(), "OvStringTokenizer");
  EXPECT_STREQ(unterminated.GetTrace(),
               "ParseStringIntoTokens of OvStringTokenizer\r\nConstructor of OvStringTokenizer");
  // Past the end: OvVector's range error with this trace line.
  OvStringTokenizer tokenizer("a,b", ",");
  EXPECT_EQ(readAll(tokenizer), (Tokens{"a", "b"}));
  const OvException pastEnd = caught([&] { tokenizer.GetNextToken(); });
  EXPECT_STREQ(pastEnd.GetMessage(), "Index 2 out of range; array is from 0 to 1");
  EXPECT_STREQ(pastEnd.GetOrigin(), "OvVector");
  EXPECT_STREQ(pastEnd.GetTrace(), "GetNextToken() of OvStringTokenizer");
}

}  // namespace
