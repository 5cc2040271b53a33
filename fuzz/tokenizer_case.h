// One tokenizer fuzz case: decodes a byte string into an OvStringTokenizer
// set-up and a sequence of calls, runs them and checks the results against
// a plain reference split. Shared by the libFuzzer target and the
// regression replay test; the caller owns the bytes, nothing is kept.
//
// Layout of a case (NUL bytes separate the texts, which can hold no NUL):
//   flags byte, delimiter \0 groupBegin \0 groupEnd \0 text \0 operations
// flags: 1 groups on, 2 separate group end, 4 keep group delimiters,
//        8 keep spaces, 16 null text, 32 null delimiter,
//        64 group end without group begin (must be refused).
// Each operation byte (modulo 8) is one call; SetString and
// SetStringDelimiter take their argument as the next NUL-ended text.
#ifndef TESSEL_FUZZ_TOKENIZER_CASE_H_
#define TESSEL_FUZZ_TOKENIZER_CASE_H_

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "foundation/ov_exception.h"
#include "foundation/ov_string_tokenizer.h"

namespace tokenizer_case {

// Hands out the case's bytes front to back; past the end, empty texts and
// no more operations.
class ByteReader {
 public:
  ByteReader(const uint8_t* data, size_t size) : data(data), size(size) {}
  bool done() const { return offset >= size; }
  uint8_t byte() { return done() ? 0 : data[offset++]; }
  std::string text() {
    size_t start = offset;
    while (offset < size && data[offset] != 0) ++offset;
    std::string result(reinterpret_cast<const char*>(data) + start, offset - start);
    if (offset < size) ++offset;  // the NUL
    return result;
  }

 private:
  const uint8_t* data;
  size_t size;
  size_t offset = 0;
};

// What the tokenizer must hold when no group token can occur: the tokens
// of the text from `start` on, and where each one begins.
struct Expected {
  bool known = false;
  std::vector<std::string> tokens;
  std::vector<size_t> starts;
  size_t read = 0;
};

// The plain split: spaces skipped in front of a token unless kept, cut at
// every occurrence of the delimiter (none when it is empty), empty tokens
// kept, at least one token.
inline Expected plainSplit(const std::string& text, const std::string& delimiter, bool keepSpaces,
                           size_t start) {
  Expected e;
  e.known = true;
  size_t pos = start;
  for (;;) {
    if (!keepSpaces) {
      while (pos < text.size() && text[pos] == ' ') ++pos;
    }
    e.starts.push_back(pos);
    size_t found = delimiter.empty() ? std::string::npos : text.find(delimiter, pos);
    if (found == std::string::npos) {
      e.tokens.push_back(text.substr(pos));
      return e;
    }
    e.tokens.push_back(text.substr(pos, found - pos));
    pos = found + delimiter.size();
  }
}

class Runner {
 public:
  explicit Runner(ByteReader& in) : in(in) {}

  // Runs the whole case; returns an empty text, or what went wrong.
  std::string run() {
    uint8_t flags = in.byte();
    std::string delimiter = in.text();
    std::string begin = in.text();
    std::string end = in.text();
    std::string text = in.text();
    bool groups = (flags & 1) != 0;
    bool separateEnd = (flags & 2) != 0;
    bool keepGroup = (flags & 4) != 0;
    keepSpaces = (flags & 8) != 0;
    bool nullText = (flags & 16) != 0;
    bool nullDelimiter = (flags & 32) != 0;
    bool endWithoutBegin = (flags & 64) != 0;
    if (nullText) text.clear();
    if (nullDelimiter) delimiter.clear();
    groupBegin = groups ? begin : std::string();

    const char* beginArg = groups ? begin.c_str() : nullptr;
    const char* endArg = (groups && separateEnd) || endWithoutBegin ? end.c_str() : nullptr;
    if (endWithoutBegin) beginArg = nullptr;

    OvStringTokenizer* made = nullptr;
    try {
      made = new OvStringTokenizer(nullText ? nullptr : text.c_str(),
                                   nullDelimiter ? nullptr : delimiter.c_str(), beginArg, keepGroup,
                                   endArg, keepSpaces);
    } catch (const OvStringTokenizerException&) {
      if (groupBegin.empty()) return "constructor: group exception without groups";
      return std::string();
    } catch (const OvException& e) {
      if (endWithoutBegin) return std::string();
      return std::string("constructor: unexpected exception: ") + e.GetMessage();
    }
    tokenizer.reset(made);
    if (endWithoutBegin) return "constructor accepted a group end without a group begin";
    this->text = text;
    this->delimiter = delimiter;
    std::string failure = parsed(0);
    for (int count = 0; failure.empty() && count < 64 && !in.done(); ++count) {
      failure = step(in.byte() % 8);
    }
    return failure;
  }

 private:
  uint32_t remaining() const { return tokenizer->GetRemainingTokenCount(); }

  // After a parse that returned normally from `start`: at least one token,
  // and with no group begin in the parsed part, exactly the plain split.
  // When the start is not known, only the first holds.
  std::string parsed(size_t start, bool startKnown = true) {
    if (remaining() < 1) return "a parse yielded no token";
    bool plain =
        startKnown && (groupBegin.empty() || text.find(groupBegin, start) == std::string::npos);
    expected = plain ? plainSplit(text, delimiter, keepSpaces, start) : Expected();
    if (expected.known && remaining() != expected.tokens.size()) {
      return "token count " + std::to_string(remaining()) + ", expected " +
             std::to_string(expected.tokens.size());
    }
    return std::string();
  }

  std::string next() {
    uint32_t before = remaining();
    try {
      OvString& token = tokenizer->GetNextToken();
      if (before == 0) return "GetNextToken past the end returned a token";
      if (expected.known && expected.read < expected.tokens.size()) {
        const std::string& want = expected.tokens[expected.read];
        if (want != token.GetCString()) {
          return "token " + std::to_string(expected.read) + " is \"" + token.GetCString() +
                 "\", expected \"" + want + "\"";
        }
      }
      ++expected.read;
    } catch (const OvException& e) {
      if (before != 0) return std::string("GetNextToken failed: ") + e.GetMessage();
      if (std::strncmp(e.GetMessage(), "Index ", 6) != 0) {
        return std::string("GetNextToken past the end: wrong message: ") + e.GetMessage();
      }
      if (remaining() != 0) return "GetNextToken past the end moved the index";
    }
    return std::string();
  }

  // A call that parses anew; a group exception is allowed when groups are
  // on, and leaves nothing to compare until the next parse.
  template <class Call>
  std::string reparse(Call call, size_t start, const char* name, bool startKnown = true) {
    try {
      call();
    } catch (const OvStringTokenizerException&) {
      if (groupBegin.empty()) return std::string(name) + ": group exception without groups";
      expected = Expected();
      return std::string();
    } catch (const OvException& e) {
      return std::string(name) + ": unexpected exception: " + e.GetMessage();
    }
    return parsed(start, startKnown);
  }

  std::string step(uint8_t operation) {
    switch (operation) {
      case 0:
        return next();
      case 1: {  // read every token, then one more
        std::string failure;
        for (uint32_t n = remaining() + 1; failure.empty() && n > 0; --n) failure = next();
        return failure;
      }
      case 2: {
        std::string newText = in.text();
        text = newText;
        return reparse([&] { tokenizer->SetString(newText.c_str()); }, 0, "SetString");
      }
      case 3: {
        std::string newDelimiter = in.text();
        // The unread rest is split anew from the start of the next unread
        // token; with every token read, from the end of the text.
        size_t restart = 0;
        bool restartKnown = expected.known;
        if (restartKnown) {
          restart =
              expected.read < expected.starts.size() ? expected.starts[expected.read] : text.size();
        }
        delimiter = newDelimiter;
        return reparse([&] { tokenizer->SetStringDelimiter(newDelimiter.c_str()); }, restart,
                       "SetStringDelimiter", restartKnown);
      }
      case 4:
      case 5: {
        uint32_t before = remaining();
        bool threw = false;
        try {
          if (operation == 4) {
            tokenizer->SetString(nullptr);
          } else {
            tokenizer->SetStringDelimiter(nullptr);
          }
        } catch (const OvException&) {
          threw = true;
        }
        if (!threw) return "a null argument was accepted";
        if (remaining() != before) return "a refused null argument changed the tokens";
        return std::string();
      }
      case 6:
        if (expected.known && remaining() != expected.tokens.size() - expected.read) {
          return "remaining count " + std::to_string(remaining()) + ", expected " +
                 std::to_string(expected.tokens.size() - expected.read);
        }
        return std::string();
      default: {  // the tokenizer's own token as its new text
        if (remaining() == 0) return std::string();
        size_t index = expected.read;
        OvString& token = tokenizer->GetNextToken();
        ++expected.read;
        if (expected.known && index < expected.tokens.size() &&
            expected.tokens[index] != token.GetCString()) {
          return "token " + std::to_string(index) + " differs before reuse";
        }
        text = token.GetCString();
        return reparse([&] { tokenizer->SetString(token); }, 0, "SetString(own token)");
      }
    }
  }

  ByteReader& in;
  std::unique_ptr<OvStringTokenizer> tokenizer;
  std::string text;
  std::string delimiter;
  std::string groupBegin;
  bool keepSpaces = false;
  Expected expected;
};

inline std::string runTokenizerCase(const uint8_t* data, size_t size) {
  ByteReader in(data, size);
  return Runner(in).run();
}

}  // namespace tokenizer_case

#endif  // TESSEL_FUZZ_TOKENIZER_CASE_H_
