// Unit tests of the front end's field check and line reading, for what the
// reader model's corpus leaves out (its cases replay the reader whole).
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "frontend/input_reader.h"
#include "frontend/line_reader.h"

namespace {

struct NumericCase {
  std::string text;
  bool numeric;
  std::string left;  // the text as the check leaves it
};

TEST(IsNumericField, AcceptsOnlyPlainDecimals) {
  const NumericCase cases[] = {
      {"12", true, "12"},         {"-3.5", true, "-3.5"},   {"5\n", true, "5"},
      {".5", true, ".5"},         {"007", true, "007"},     {"1e-400", false, "1e-400"},
      {"0." + std::string(400, '0') + "1", true, "0." + std::string(400, '0') + "1"},
      {"", false, ""},            {"\n", false, ""},        {"-", false, "-"},
      {"-.", false, "-."},        {"+1", false, "+1"},      {"1e5", false, "1e5"},
      {" 7", false, " 7"},        {"5\r\n", false, "5\r"},  {"3-", false, "3-"},
      {"-1" + std::string(400, '0'), false, "-1" + std::string(400, '0')},
  };
  for (const NumericCase& c : cases) {
    OvString text(c.text.c_str());
    EXPECT_EQ(isNumericField(text), c.numeric) << "[" << c.text << "]";
    EXPECT_STREQ(text.GetCString(), c.left.c_str()) << "[" << c.text << "]";
  }
}

std::vector<std::string> readAll(const std::string& bytes, bool keepLineFeed) {
  std::FILE* stream = tmpfile();
  std::fwrite(bytes.data(), 1, bytes.size(), stream);
  std::rewind(stream);
  std::vector<std::string> lines;
  LineReader reader(stream);
  while (reader.next(keepLineFeed)) lines.emplace_back(reader.text(), reader.length());
  std::fclose(stream);
  return lines;
}

TEST(LineReader, SplitsPhysicalLines) {
  const std::string longLine(5000, 'x');
  const struct {
    std::string bytes;
    bool keep;
    std::vector<std::string> lines;
  } cases[] = {
      {"a\nb", true, {"a\n", "b"}},
      {"a\r\n", true, {"a\n"}},
      {"a\rb\r", false, {"a\rb\r"}},
      {std::string("\0\n", 2), false, {""}},
      {longLine + "\n" + longLine, false, {longLine, longLine}},
      {"", true, {}},
  };
  for (const auto& c : cases) EXPECT_EQ(readAll(c.bytes, c.keep), c.lines);
}

}  // namespace
