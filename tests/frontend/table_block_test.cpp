// A table read in pieces gives what it gives read whole: the same points,
// missing-row positions, row count and report, the report's row number
// counted from the rows before its piece. Pieces of memory are cut at line
// ends; byte ranges of a file anywhere, a line going to the range its first
// byte lies in.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
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
    const bool ranges = trial % 2 == 1;
    char path[] = "/tmp/table_block_XXXXXX";
    if (ranges) {
      const int fd = mkstemp(path);
      ASSERT_GE(fd, 0);
      ASSERT_EQ(write(fd, text.data(), text.size()), ssize_t(text.size()));
      close(fd);
    }
    TableBlock joined;
    int32_t rowsBefore = 0;
    for (size_t from = 0, k = 0; from < text.size() && !joined.stopped();) {
      const size_t to = ranges ? std::min(text.size(), from + 1 + random() % 40)
                               : ends[std::min(ends.size() - 1, k += 1 + random() % 4)];
      const TableBlock piece =
          ranges ? readTableRange(path, off_t(from), off_t(to - from), settings, rowsBefore)
                 : readTableBlock(text.data() + from, to - from, settings, from == 0, rowsBefore);
      for (int32_t at : piece.ignored) joined.ignored.push_back(at + int32_t(joined.x.size()));
      joined.x.insert(joined.x.end(), piece.x.begin(), piece.x.end());
      joined.weight.insert(joined.weight.end(), piece.weight.begin(), piece.weight.end());
      const int32_t counted = joined.summary.rows + piece.summary.rows;
      joined.summary = piece.summary;
      joined.summary.rows = counted;
      rowsBefore += piece.summary.rows;
      from = to;
    }
    if (ranges) unlink(path);
    ASSERT_EQ(joined.stopped(), whole.stopped()) << text;
    EXPECT_EQ(joined.summary.errorTitle, whole.summary.errorTitle) << text;
    EXPECT_EQ(joined.summary.errorDetail, whole.summary.errorDetail) << text;
    if (whole.stopped()) continue;
    EXPECT_EQ(joined.x, whole.x);
    EXPECT_EQ(joined.weight, whole.weight);
    EXPECT_EQ(joined.ignored, whole.ignored);
    EXPECT_EQ(joined.summary.rows, whole.summary.rows);
  }
}

TEST(TableBlock, RangeOfAFileThatCannotBeRead) {
  RunSettings settings;
  EXPECT_TRUE(readTableRange("/nonexistent/t.csv", 0, 10, settings, 0).summary.openFailed);
  EXPECT_TRUE(readTableRange("/", 0, 10, settings, 0).summary.readFailed);
}

}  // namespace
