// OvStringTokenizer: token lists for plain, spaced, grouped and re-split
// texts, and its error messages with their trace lines.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "foundation/ov_exception.h"
#include "foundation/ov_string_tokenizer.h"

OvException caught(const std::function<void()>& f);

namespace {

using Tokens = std::vector<std::string>;

Tokens readAll(OvStringTokenizer& tokenizer) {
  Tokens tokens;
  while (tokenizer.GetRemainingTokenCount() > 0) tokens.push_back(tokenizer.GetNextToken().GetCString());
  return tokens;
}

TEST(OvStringTokenizer, SplitsTexts) {
  struct Case {
    const char* text;
    const char* delimiter;
    Tokens tokens;
    const char* groupBegin = nullptr;
    bool keepGroupDelimiters = false;
    const char* groupEnd = nullptr;
    bool keepSpaces = false;
  } cases[] = {
      {"a,b,c", ",", {"a", "b", "c"}},
      {"a,,b", ",", {"a", "", "b"}},
      {",a", ",", {"", "a"}},
      {"a,", ",", {"a", ""}},
      {"", ",", {""}},
      {"a, b ,c", ",", {"a", "b ", "c"}},
      {"  ,x", ",", {"", "x"}},
      {"\tx,y", ",", {"\tx", "y"}},
      {"a  b", " ", {"a", "b"}},
      {"a b ", " ", {"a", "b", ""}},
      {"1::2:3::", "::", {"1", "2:3", ""}},
      {"  a,b", "", {"a,b"}},
      {"\"a,b\",c", ",", {"a,b", "c"}, "\""},
      {"\"a,b\",c", ",", {"\"a,b\"", "c"}, "\"", true},
      {"\"a\"x,y", ",", {"a", "y"}, "\""},
      {"\"a\"x", ",", {"a"}, "\""},
      {"x,[p,q],y", ",", {"x", "p,q", "y"}, "[", false, "]"},
      {"x, [p,q]", ",", {"x", "[p,q]"}, "[", true, "]"},
      {" a, b", ",", {" a", " b"}, nullptr, false, nullptr, true},
  };
  for (auto& c : cases) {
    OvStringTokenizer tokenizer(c.text, c.delimiter, c.groupBegin, c.keepGroupDelimiters, c.groupEnd, c.keepSpaces);
    EXPECT_EQ(tokenizer.GetRemainingTokenCount(), c.tokens.size()) << c.text;
    EXPECT_EQ(readAll(tokenizer), c.tokens) << c.text << " at " << c.delimiter;
  }
}

TEST(OvStringTokenizer, SetStringAndDelimiterChanges) {
  OvStringTokenizer tokenizer("", " ");
  tokenizer.SetStringDelimiter(",");
  tokenizer.SetString("1 2,3");
  EXPECT_EQ(readAll(tokenizer), (Tokens{"1 2", "3"}));
  tokenizer.SetString("x,y,z");
  tokenizer.GetNextToken();
  tokenizer.SetString(tokenizer.GetNextToken());  // one of its own tokens as the new text
  EXPECT_EQ(readAll(tokenizer), (Tokens{"y"}));

  OvStringTokenizer resplit("a,b c", ",");
  EXPECT_STREQ(resplit.GetNextToken().GetCString(), "a");
  resplit.SetStringDelimiter(" ");
  EXPECT_EQ(readAll(resplit), (Tokens{"b", "c"}));
  resplit.SetStringDelimiter(",");  // every token read: restarts at the end of the text
  EXPECT_EQ(readAll(resplit), (Tokens{""}));
  resplit.SetString("a,b;c");
  resplit.SetStringDelimiter("");
  EXPECT_EQ(readAll(resplit), (Tokens{"a,b;c"}));
}

TEST(OvStringTokenizer, Errors) {
  OvStringTokenizer tokenizer("a,b", ",");
  struct Case {
    std::function<void()> call;
    const char* message;
    const char* origin;
    const char* trace;
  } cases[] = {
      {[&] { tokenizer.SetString(nullptr); }, "Cannot tokenize null string.", "OvStringTokenizer",
       "SetString() of OvStringTokenizer"},
      {[&] { tokenizer.SetStringDelimiter(nullptr); }, "Change of delimeter to nothing.", "OvStringTokenizer",
       "SetStringDelimiter() of OvStringTokenizer"},
      {[] { OvStringTokenizer bad("a", ",", nullptr, false, "]"); },
       "Group end delimeter specified without a group begin delimeter.", "OvStringTokenizer",
       "Constructor of OvStringTokenizer"},
      {[] { OvStringTokenizer bad("\"a,b", ",", "\""); },
       "A group token has no end delimeter.\nCannot retrieve token as specified.\nPlease correct.\n\n",
       "OvStringTokenizer", "ParseStringIntoTokens of OvStringTokenizer\r\nConstructor of OvStringTokenizer"},
  };
  for (auto& c : cases) {
    OvException e = caught(c.call);
    EXPECT_STREQ(e.GetMessage(), c.message);
    EXPECT_STREQ(e.GetOrigin(), c.origin);
    EXPECT_STREQ(e.GetTrace(), c.trace);
  }
  EXPECT_EQ(readAll(tokenizer), (Tokens{"a", "b"}));  // untouched by the refused calls
  OvException past = caught([&] { tokenizer.GetNextToken(); });
  EXPECT_STREQ(past.GetMessage(), "Index 2 out of range; array is from 0 to 1");
  EXPECT_STREQ(past.GetOrigin(), "OvVector");
  EXPECT_STREQ(past.GetTrace(), "GetNextToken() of OvStringTokenizer");
  EXPECT_EQ(tokenizer.GetRemainingTokenCount(), 0u);

  EXPECT_THROW(OvStringTokenizer("\"", ",", "\""), OvStringTokenizerException);
  OvStringTokenizer grouped("", ",", "\"");
  EXPECT_THROW(grouped.SetString("x,\"y"), OvStringTokenizerException);
  EXPECT_EQ(readAll(grouped), (Tokens{"x"}));  // tokens before the bad group stay
}

}  // namespace
