// The field check and line reading against the reader model's plain
// statements of them (fuzz/reader_case.h): every short text over the
// characters that matter, and a few long ones.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "frontend/input_reader.h"
#include "frontend/line_reader.h"
#include "fuzz/reader_case.h"

namespace {

// Every text of up to `length` characters from `alphabet`, then `extra`.
std::vector<std::string> allTexts(const std::string& alphabet, size_t length,
                                  std::vector<std::string> extra) {
  std::vector<std::string> texts = {""};
  for (size_t k = 0; texts[k].size() < length; ++k)
    for (char c : alphabet) texts.push_back(texts[k] + c);
  texts.insert(texts.end(), extra.begin(), extra.end());
  return texts;
}

TEST(IsNumericField, MatchesThePlainDecimalRule) {
  const std::string zeros(400, '0');
  for (std::string text : allTexts(std::string("01-.+e \r\n", 9), 4,
                                   {"0." + zeros + "1", "-1" + zeros, "2" + zeros.substr(92)})) {
    OvString field(text.c_str());
    EXPECT_EQ(isNumericField(field), reader_case::Model::numeric(text)) << "[" << text << "]";
    EXPECT_EQ(field.GetCString(), text);  // as the model leaves it
  }
}

TEST(LineReader, SplitsPhysicalLinesAsTheModel) {
  const std::string longLine(5000, 'x');
  for (const std::string& bytes :
       allTexts(std::string("a\r\n\0", 4), 6, {longLine + "\n" + longLine}))
    for (bool keep : {false, true}) {
      std::FILE* stream = tmpfile();
      std::fwrite(bytes.data(), 1, bytes.size(), stream);
      std::rewind(stream);
      std::vector<std::string> lines;
      LineReader reader(stream);
      while (reader.next(keep)) lines.emplace_back(reader.text(), reader.length());
      std::fclose(stream);
      EXPECT_EQ(lines, reader_case::Model::lines(bytes, keep)) << keep;
    }
}

}  // namespace
