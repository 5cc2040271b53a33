// A comma-separated input table read by the program's own rules (the
// reader's lines, fields, blanks, missing values and numeric check, then
// the loader's conversion of each good row) into memory rather than a work
// file: whole, or a piece of it at a time, so that a large table can be read
// in pieces in parallel (the Python package's cluster command). What the
// reading found is summed up as the driver sums it up (read_outcome.h).
// The block owns what it holds.
#ifndef TESSEL_FRONTEND_TABLE_BLOCK_H_
#define TESSEL_FRONTEND_TABLE_BLOCK_H_

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "frontend/read_outcome.h"
#include "frontend/run_state.h"

struct TableBlock {
  std::vector<double> x, y, rate, weight;  // the good rows, in input order
  // Per row with a missing value: the good rows of the piece before it.
  std::vector<int32_t> ignored;
  // The rows the piece holds (summary.rows, the row numbers it used) and
  // whether one stopped the reading, with its report numbered from the rows
  // before the piece.
  ReadSummary summary;
  // A good row the loader could not convert: its report (standard output).
  std::string loadReport;

  bool stopped() const { return !summary.proceed || !loadReport.empty(); }
};

// Reads bytes [0, size) as rows of the -f layout; rowsBefore is the number
// of rows (the header counted) that precede the piece. startOfInput: the
// piece begins the file (byte-order mark, -r header).
TableBlock readTableBlock(const char* bytes, size_t size, const RunSettings& settings,
                          bool startOfInput, int32_t rowsBefore);

// Reads the lines of the file `path` that begin in the byte range [offset,
// offset + length): the first is the one after the first line feed at or
// after offset - 1, the last runs on to its line feed or the end of the file.
// Pieces that cover a file with no gap read each line once. A file that
// cannot be opened, or a read that fails, is summed up as the whole
// reading's would be.
TableBlock readTableRange(const char* path, off_t offset, off_t length, const RunSettings& settings,
                          int32_t rowsBefore);

// Reads the whole input as the program does (the -f file, or standard
// input in its one-field-per-line layout), from a source of any kind.
TableBlock readWholeInput(const RunSettings& settings);

#endif  // TESSEL_FRONTEND_TABLE_BLOCK_H_
