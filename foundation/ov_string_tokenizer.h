// OvStringTokenizer: splits a text eagerly at a delimiter text into owned
// OvString tokens (empty tokens kept), optionally honouring group tokens
// and skipping spaces in front of each token. Changing the delimiter
// re-splits the part of the text that has not been read yet.
#ifndef TESSEL_FOUNDATION_OV_STRING_TOKENIZER_H_
#define TESSEL_FOUNDATION_OV_STRING_TOKENIZER_H_

#include <cstdint>

#include "foundation/ov_string.h"
#include "foundation/ov_vector.h"

class OvStringTokenizer {
 public:
  OvStringTokenizer(const char* text, const char* delimiter, const char* groupBegin = nullptr,
                    bool keepGroupDelimiters = false, const char* groupEnd = nullptr,
                    bool keepSpaces = false);
  ~OvStringTokenizer();

  OvStringTokenizer(const OvStringTokenizer&) = delete;
  OvStringTokenizer& operator=(const OvStringTokenizer&) = delete;

  void SetString(const char* newText);
  void SetStringDelimiter(const char* newDelimiter);
  // The next token; owned by the tokenizer, valid until the next SetString,
  // SetStringDelimiter or destruction.
  OvString& GetNextToken();
  uint32_t GetRemainingTokenCount() const;

 private:
  void ParseStringIntoTokens(int32_t start);
  OvString* plainToken(int32_t end);
  void RecycleTokens();
  void SkipSpaces();
  void SkipDelimiter();
  bool DelimiterAt(int32_t p) const;
  bool GroupBeginAt(int32_t p) const;
  bool GroupEndAt(int32_t p) const;

  OvString text;
  OvString delimiter;
  OvString groupBegin;
  OvString groupEnd;
  bool keepGroupDelimiters;
  bool keepSpaces;
  int32_t position;
  OvPointerVector<OvString> tokens;
  OvPointerVector<OvString> spareTokens;  // emptied tokens kept for reuse
  OvVector<int32_t> tokenStarts;
  uint32_t tokenIndex;
  uint32_t textLength;
};

#endif  // TESSEL_FOUNDATION_OV_STRING_TOKENIZER_H_
