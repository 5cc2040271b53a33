// One piece of a comma-separated input table (whole lines of the -f file's
// layout) read by the program's own rules: the reader's lines, fields,
// blanks, missing values and numeric check, then the loader's conversion of
// each good row. For callers that read a large table in pieces in parallel
// (the Python package's cluster reader); the block owns what it holds.
#ifndef TESSEL_FRONTEND_TABLE_BLOCK_H_
#define TESSEL_FRONTEND_TABLE_BLOCK_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "frontend/run_state.h"

struct TableBlock {
  std::vector<double> x, y, rate, weight;  // the good rows, in input order
  // Per row with a missing value: the good rows of the piece before it.
  std::vector<int32_t> ignored;
  int32_t rows = 0;      // the rows the piece holds (row numbers it used)
  bool stopped = false;  // a row stopped the reading; message says why
  // What the program writes to standard error when this piece stops the
  // run: the invalid row's report (its row number counted from rowsBefore)
  // or an ERROR line.
  std::string message;
};

// Reads bytes [0, size) as rows of the input; rowsBefore is the number of
// rows (the header counted) that precede the piece. startOfInput: the piece
// begins the file (byte-order mark, -r header). Returns the piece's rows.
TableBlock readTableBlock(const char* bytes, size_t size, const RunSettings& settings,
                          bool startOfInput, int32_t rowsBefore);

#endif  // TESSEL_FRONTEND_TABLE_BLOCK_H_
