// The reader. Its field check and line reading against the reader model's
// plain statements of them (fuzz/reader_case.h): every short text over the
// characters that matter, and a few long ones. A table read in pieces gives
// what it gives read whole: the same points, missing-row positions, row
// count and report (its row number counted from the rows before its piece).
// Pieces of memory are cut at line ends; byte ranges of a file anywhere, a
// line going to the range its first byte is in.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "frontend/input_reader.h"
#include "frontend/line_reader.h"
#include "frontend/table_block.h"
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

TEST(TableBlock, PiecesReadAsTheWholeAndFailuresAreFlagged) {
  const char* const rows[] = {"1,2,3,4\n", " 5 ,6.5,-7,8\n", "NA,1,1,1\n",  "1,2,,4\r\n",
                              "9,9,9\n",   "1,x,3,4\n",      "1,2,3\0,4\n", "\n"};
  char path[] = "/tmp/table_block_XXXXXX";
  close(mkstemp(path));
  std::mt19937 random(7);
  for (int trial = 0; trial < 400; ++trial) {
    RunSettings settings;
    settings.firstRowHasNames = trial % 3 == 0;
    settings.missingText = trial % 2 ? "NA" : "";
    std::string text = trial % 5 ? "" : "\xEF\xBB\xBF";
    std::vector<size_t> ends;
    for (int k = 0; k < 12; ++k) {
      // Mostly good rows, so that a report comes late or not at all.
      const size_t pick = random() % 24;
      text += pick < 8 ? std::string(rows[pick], pick == 6 ? 10 : std::strlen(rows[pick]))
                       : rows[pick % 2];
      ends.push_back(text.size());
    }
    const TableBlock whole = readTableBlock(text.data(), text.size(), settings, true, 0);
    const bool ranges = trial % 2 == 1;
    std::FILE* file = std::fopen(path, "wb");
    ASSERT_TRUE(file != nullptr && std::fwrite(text.data(), 1, text.size(), file) == text.size());
    std::fclose(file);
    TableBlock joined;
    for (size_t from = 0, k = 0; from < text.size() && !joined.stopped();) {
      const size_t to = ranges ? std::min(text.size(), from + 1 + random() % 40)
                               : ends[std::min(ends.size() - 1, k += 1 + random() % 4)];
      const int32_t rowsBefore = joined.summary.rows;
      const TableBlock piece =
          ranges ? readTableRange(path, off_t(from), off_t(to - from), settings, rowsBefore)
                 : readTableBlock(text.data() + from, to - from, settings, from == 0, rowsBefore);
      for (int32_t at : piece.ignored) joined.ignored.push_back(at + int32_t(joined.x.size()));
      joined.x.insert(joined.x.end(), piece.x.begin(), piece.x.end());
      joined.weight.insert(joined.weight.end(), piece.weight.begin(), piece.weight.end());
      joined.summary = piece.summary;
      joined.summary.rows += rowsBefore;
      from = to;
    }
    // The whole file as the program reads it, its work lines through a
    // growing memory stream, against the block's written in place.
    RunSettings fromFile = settings;
    fromFile.inputFileName = path;
    fromFile.readFromFile = true;
    const TableBlock streamed = readWholeInput(fromFile);
    ASSERT_EQ(streamed.stopped(), whole.stopped()) << text;
    EXPECT_EQ(std::tie(streamed.x, streamed.y, streamed.rate, streamed.weight, streamed.ignored,
                       streamed.summary.rows, streamed.summary.errorDetail),
              std::tie(whole.x, whole.y, whole.rate, whole.weight, whole.ignored,
                       whole.summary.rows, whole.summary.errorDetail))
        << text;
    ASSERT_EQ(joined.stopped(), whole.stopped()) << text;
    EXPECT_EQ(std::tie(joined.summary.errorTitle, joined.summary.errorDetail),
              std::tie(whole.summary.errorTitle, whole.summary.errorDetail))
        << text;
    if (whole.stopped()) continue;
    EXPECT_EQ(std::tie(joined.x, joined.weight, joined.ignored, joined.summary.rows),
              std::tie(whole.x, whole.weight, whole.ignored, whole.summary.rows))
        << text;
  }
  std::remove(path);
  // A file that cannot be opened, and one that cannot be read.
  EXPECT_TRUE(readTableRange("/nonexistent/t.csv", 0, 10, RunSettings(), 0).summary.openFailed);
  EXPECT_TRUE(readTableRange("/", 0, 10, RunSettings(), 0).summary.readFailed);
}

}  // namespace
