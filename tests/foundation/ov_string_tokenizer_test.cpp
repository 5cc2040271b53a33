// OvStringTokenizer: token lists of grouped texts and two error messages
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

// The messages and traces of an unterminated group and of a read past the
// end. (That null arguments and a group end without a group begin are
// refused, leaving the tokens as they were, is the tokenizer model's.)
TEST(OvStringTokenizer, Errors) {
  const OvException unterminated = caught([] { OvStringTokenizer bad("\"a,b", ",", "\""); });
  EXPECT_STREQ(unterminated.GetMessage(),
               "A group token has no end delimeter.\nCannot retrieve token as specified.\nPlease "
               "correct.\n\n");
  EXPECT_STREQ(unterminated.GetOrigin(), "OvStringTokenizer");
  EXPECT_STREQ(unterminated.GetTrace(),
               "ParseStringIntoTokens of OvStringTokenizer\r\nConstructor of OvStringTokenizer");
  EXPECT_THROW(OvStringTokenizer("x,\"", ",", "\""), OvStringTokenizerException);  // its own class
  // Past the end: OvVector's range error with this trace line, and nothing consumed.
  OvStringTokenizer tokenizer("a,b", ",");
  EXPECT_EQ(readAll(tokenizer), (Tokens{"a", "b"}));
  const OvException pastEnd = caught([&] { tokenizer.GetNextToken(); });
  EXPECT_STREQ(pastEnd.GetMessage(), "Index 2 out of range; array is from 0 to 1");
  EXPECT_STREQ(pastEnd.GetOrigin(), "OvVector");
  EXPECT_STREQ(pastEnd.GetTrace(), "GetNextToken() of OvStringTokenizer");
  EXPECT_EQ(tokenizer.GetRemainingTokenCount(), 0u);
}

}  // namespace
