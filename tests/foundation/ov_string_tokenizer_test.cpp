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
  const struct {
    const char *text, *delimiter;
    Tokens tokens;
    const char *groupBegin = nullptr, *groupEnd = nullptr;
    bool keepGroupDelimiters = false, keepSpaces = false;
  } cases[] = {
      {"a,,b,", ",", {"a", "", "b", ""}},
      {"a, b ,\tc", ",", {"a", "b ", "\tc"}},  // only spaces in front are skipped
      {"a  b", " ", {"a", "b"}}, {"", ",", {""}},
      {"1::2:3::", "::", {"1", "2:3", ""}},
      {"  a,b", "", {"a,b"}},
      {"\"a,b\",c", ",", {"a,b", "c"}, "\""},
      {"\"a,b\",c", ",", {"\"a,b\"", "c"}, "\"", nullptr, true},
      {"\"a\"x,y,\"b\"", ",", {"a", "y", "b"}, "\""},  // the rest of a group's field is dropped
      {"x,[p,q],y", ",", {"x", "p,q", "y"}, "[", "]"},
      {"x, [p,q]", ",", {"x", "[p,q]"}, "[", "]", true},
      {" a, b", ",", {" a", " b"}, nullptr, nullptr, false, true},
  };
  for (auto& c : cases) {
    OvStringTokenizer tokenizer(c.text, c.delimiter, c.groupBegin, c.keepGroupDelimiters, c.groupEnd, c.keepSpaces);
    EXPECT_EQ(readAll(tokenizer), c.tokens) << c.text << " at " << c.delimiter;
  }
}

TEST(OvStringTokenizer, SetStringAndDelimiterChanges) {
  OvStringTokenizer tokenizer("x,y,z", ",");
  tokenizer.GetNextToken();
  tokenizer.SetString(tokenizer.GetNextToken());  // one of its own tokens as the new text
  EXPECT_EQ(readAll(tokenizer), (Tokens{"y"}));

  OvStringTokenizer resplit("a,b c", ",");
  EXPECT_STREQ(resplit.GetNextToken().GetCString(), "a");
  resplit.SetStringDelimiter(" ");  // re-splits the unread rest only
  EXPECT_EQ(readAll(resplit), (Tokens{"b", "c"}));
  resplit.SetStringDelimiter(";");  // every token read: restarts at the end of the text
  EXPECT_EQ(readAll(resplit), (Tokens{""}));
  resplit.SetString("a,b;c");  // split at the changed delimiter
  EXPECT_STREQ(resplit.GetNextToken().GetCString(), "a,b");
  resplit.SetStringDelimiter("");
  EXPECT_EQ(readAll(resplit), (Tokens{"c"}));
}

TEST(OvStringTokenizer, Errors) {
  OvStringTokenizer tokenizer("a,b", ",");
  const struct { std::function<void()> call; const char *message, *trace; } cases[] = {
      {[&] { tokenizer.SetString(nullptr); }, "Cannot tokenize null string.", "SetString() of OvStringTokenizer"},
      {[&] { tokenizer.SetStringDelimiter(nullptr); }, "Change of delimeter to nothing.",
       "SetStringDelimiter() of OvStringTokenizer"},
      {[] { OvStringTokenizer bad("a", ",", nullptr, false, "]"); },
       "Group end delimeter specified without a group begin delimeter.", "Constructor of OvStringTokenizer"},
      {[] { OvStringTokenizer bad("\"a,b", ",", "\""); },
       "A group token has no end delimeter.\nCannot retrieve token as specified.\nPlease correct.\n\n",
       "ParseStringIntoTokens of OvStringTokenizer\r\nConstructor of OvStringTokenizer"},
  };
  for (auto& c : cases) {
    OvException e = caught(c.call);
    EXPECT_STREQ(e.GetMessage(), c.message);
    EXPECT_STREQ(e.GetOrigin(), "OvStringTokenizer");
    EXPECT_STREQ(e.GetTrace(), c.trace);
  }
  EXPECT_EQ(readAll(tokenizer), (Tokens{"a", "b"}));  // untouched by the refused calls
  // Reading past the end: OvVector's range error with this trace line, and nothing consumed.
  EXPECT_STREQ(caught([&] { tokenizer.GetNextToken(); }).GetTrace(), "GetNextToken() of OvStringTokenizer");
  EXPECT_EQ(tokenizer.GetRemainingTokenCount(), 0u);

  EXPECT_THROW(OvStringTokenizer("x,\"", ",", "\""), OvStringTokenizerException);  // its own class
}

}  // namespace
