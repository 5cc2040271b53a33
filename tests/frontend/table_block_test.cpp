// A table read in pieces (cut at random line ends) gives what it gives read
// whole: the same points, missing-row positions, row count and report, the
// report's row number counted from the rows before its piece.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "frontend/table_block.h"

namespace {

TEST(TableBlock, PiecesReadAsTheWhole) {
  const char* const rows[] = {"1,2,3,4\n", " 5 ,6.5,-7,8\n", "NA,1,1,1\n",  "1,2,,4\r\n",
                              "9,9,9\n",   "1,x,3,4\n",      "1,2,3\0,4\n", "\n"};
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
      const std::string row =
          pick < 8 ? std::string(rows[pick], pick == 6 ? 10 : std::strlen(rows[pick]))
                   : rows[pick % 2];
      text += row;
      ends.push_back(text.size());
    }
    const TableBlock whole = readTableBlock(text.data(), text.size(), settings, true, 0);
    TableBlock joined;
    int32_t rowsBefore = 0;
    for (size_t from = 0, k = 0; from < text.size() && !joined.stopped;) {
      const size_t to = ends[std::min(ends.size() - 1, k += 1 + random() % 4)];
      const TableBlock piece =
          readTableBlock(text.data() + from, to - from, settings, from == 0, rowsBefore);
      for (int32_t at : piece.ignored) joined.ignored.push_back(at + int32_t(joined.x.size()));
      joined.x.insert(joined.x.end(), piece.x.begin(), piece.x.end());
      joined.weight.insert(joined.weight.end(), piece.weight.begin(), piece.weight.end());
      joined.rows += piece.rows;
      joined.stopped = piece.stopped;
      joined.message = piece.message;
      rowsBefore += piece.rows;
      from = to;
    }
    ASSERT_EQ(joined.stopped, whole.stopped) << text;
    EXPECT_EQ(joined.message, whole.message) << text;
    if (whole.stopped) continue;
    EXPECT_EQ(joined.x, whole.x);
    EXPECT_EQ(joined.weight, whole.weight);
    EXPECT_EQ(joined.ignored, whole.ignored);
    EXPECT_EQ(joined.rows, whole.rows);
  }
}

}  // namespace
