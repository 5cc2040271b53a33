// OvStringTokenizer: eager splitting of a text at a delimiter text. The
// tokenizer owns its tokens; tokenStarts records where each one began, so a
// change of delimiter can re-split the unread rest of the text.
#include "foundation/ov_string_tokenizer.h"

#include <cstring>
#include <memory>

#include "foundation/ov_exception.h"

namespace {

const char kClass[] = "OvStringTokenizer";
const char kUnterminatedGroup[] =
    "A group token has no end delimeter.\nCannot retrieve token as specified.\nPlease correct.\n\n";

}  // namespace

OvStringTokenizer::OvStringTokenizer(const char* newText, const char* newDelimiter,
                                     const char* newGroupBegin, bool keepGroupDelimiters,
                                     const char* newGroupEnd, bool keepSpaces)
    : keepGroupDelimiters(keepGroupDelimiters), keepSpaces(keepSpaces), position(0), tokenIndex(0),
      textLength(0) {
  OvTraced("Constructor", kClass, [&] {
    if (newGroupEnd != nullptr && newGroupBegin == nullptr) {
      OvException::Raise("Group end delimeter specified without a group begin delimeter.", kClass);
    }
    text = newText;
    delimiter = newDelimiter;
    groupBegin = newGroupBegin;
    groupEnd = newGroupEnd != nullptr ? newGroupEnd : newGroupBegin;
    textLength = text.GetLength();
    ParseStringIntoTokens(0);
  });
}

OvStringTokenizer::~OvStringTokenizer() {}

void OvStringTokenizer::SetString(const char* newText) {
  OvTraced("SetString()", kClass, [&] {
    if (newText == nullptr) OvException::Raise("Cannot tokenize null string.", kClass);
    text = newText;  // copied before the tokens go: newText may be one of them
    tokenIndex = 0;
    RecycleTokens();
    tokenStarts.clear();
    textLength = text.GetLength();
    ParseStringIntoTokens(0);
  });
}

void OvStringTokenizer::SetStringDelimiter(const char* newDelimiter) {
  OvTraced("SetStringDelimiter()", kClass, [&] {
    if (newDelimiter == nullptr) OvException::Raise("Change of delimeter to nothing.", kClass);
    delimiter = newDelimiter;
    // Restart at the next unread token; with every token read, at the end of
    // the text (which yields one empty token).
    int32_t restart = tokenIndex < tokens.size() ? tokenStarts[static_cast<int32_t>(tokenIndex)]
                                                 : static_cast<int32_t>(textLength);
    tokenIndex = 0;
    RecycleTokens();
    tokenStarts.clear();
    ParseStringIntoTokens(restart);
  });
}

OvString& OvStringTokenizer::GetNextToken() {
  return OvTraced("GetNextToken()", kClass, [&]() -> OvString& {
    OvString& token = *tokens[static_cast<int32_t>(tokenIndex)];
    ++tokenIndex;
    return token;
  });
}

uint32_t OvStringTokenizer::GetRemainingTokenCount() const {
  return static_cast<uint32_t>(tokens.size()) - tokenIndex;
}

void OvStringTokenizer::ParseStringIntoTokens(int32_t start) {
  OvTraced("ParseStringIntoTokens", kClass, [&] {
    // An empty delimiter splits nothing: it is never searched for.
    auto nextDelimiter = [&](uint32_t from) -> int32_t {
      return delimiter.IsEmpty() ? -1 : text.Find(delimiter, from);
    };
    position = start;
    while (position >= 0) {
      SkipSpaces();
      tokenStarts.push_back(position);
      std::unique_ptr<OvString> token;
      if (!groupBegin.IsEmpty() && GroupBeginAt(position)) {
        uint32_t beginLength = groupBegin.GetLength();
        uint32_t endLength = groupEnd.GetLength();
        int32_t end = text.Find(groupEnd, static_cast<uint32_t>(position) + beginLength);
        if (end < 0) throw OvStringTokenizerException(kUnterminatedGroup, kClass);
        uint32_t searchFrom;
        if (keepGroupDelimiters) {
          token.reset(new OvString(
              text.GetSubstring(position, end + static_cast<int32_t>(endLength) - position)));
          searchFrom = static_cast<uint32_t>(end);
        } else {
          position += static_cast<int32_t>(beginLength);
          token.reset(new OvString(text.GetSubstring(position, end - position)));
          tokenStarts.back() = position;
          searchFrom = static_cast<uint32_t>(end) + endLength;
        }
        position = nextDelimiter(searchFrom);
      } else {
        int32_t found = nextDelimiter(static_cast<uint32_t>(position));
        token.reset(plainToken(found));
        position = found;
      }
      tokens.push_back(token.get());
      token.release();
      SkipDelimiter();
    }
  });
}

// The token from `position` up to `end` (exclusive), or to the end of the
// text when end is negative, built straight from the text (cut at `end` for
// the copy and mended afterwards, whatever happens) into a recycled token
// object when there is one.
OvString* OvStringTokenizer::plainToken(int32_t end) {
  const char* start = text.GetCString() + position;
  char unused = '\0';
  char& cut = end < 0 ? unused : text[static_cast<uint32_t>(end)];
  struct Mend {
    char& at;
    char saved;
    ~Mend() { at = saved; }
  } mend{cut, cut};
  cut = '\0';
  if (spareTokens.empty()) return new OvString(start);
  std::unique_ptr<OvString> token(spareTokens.back());
  spareTokens.pop_back();
  *token = start;
  return token.release();
}

// Moves the tokens to the spare list: the next parse refills these objects
// instead of allocating new ones. Tokens handed out become invalid, as the
// interface says.
void OvStringTokenizer::RecycleTokens() {
  spareTokens.reserve(spareTokens.size() + tokens.size());
  for (OvString* token : tokens) spareTokens.push_back(token);
  tokens.clear();
}

void OvStringTokenizer::SkipSpaces() {
  OvTraced("SkipSpaces()", kClass, [&] {
    if (keepSpaces) return;
    const char* chars = text.GetCString();
    while (position >= 0 && static_cast<uint32_t>(position) < textLength &&
           chars[position] == ' ') {
      ++position;
    }
  });
}

void OvStringTokenizer::SkipDelimiter() {
  if (position < 0) return;
  if (DelimiterAt(position)) {
    position += static_cast<int32_t>(delimiter.GetLength());
  } else if (GroupEndAt(position)) {
    position += static_cast<int32_t>(groupEnd.GetLength());
  }
}

namespace {

bool textAt(const OvString& text, uint32_t textLength, int32_t p, const OvString& part) {
  uint64_t partLength = part.GetLength();
  if (p < 0 || static_cast<uint64_t>(p) + partLength > textLength) return false;
  return std::memcmp(text.GetCString() + p, part.GetCString(), partLength) == 0;
}

}  // namespace

bool OvStringTokenizer::DelimiterAt(int32_t p) const {
  return textAt(text, textLength, p, delimiter);
}
bool OvStringTokenizer::GroupBeginAt(int32_t p) const {
  return textAt(text, textLength, p, groupBegin);
}
bool OvStringTokenizer::GroupEndAt(int32_t p) const {
  return textAt(text, textLength, p, groupEnd);
}
