// OvStringTokenizer: token lists of grouped texts and the error messages
// with their trace lines. Plain splits, re-splits and changes of text or
// delimiter are the tokenizer model's, replayed from the fuzz corpus.
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
  const OvException pastEnd = caught([&] { tokenizer.GetNextToken(); });
  EXPECT_STREQ(pastEnd.GetMessage(), "Index 2 out of range; array is from 0 to 1");
  EXPECT_STREQ(pastEnd.GetOrigin(), "OvVector");
  EXPECT_STREQ(pastEnd.GetTrace(), "GetNextToken() of OvStringTokenizer");
  EXPECT_EQ(tokenizer.GetRemainingTokenCount(), 0u);

  EXPECT_THROW(OvStringTokenizer("x,\"", ",", "\""), OvStringTokenizerException);  // its own class
}

}  // namespace
