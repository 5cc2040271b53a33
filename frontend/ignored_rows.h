// Rows set aside because a field held the missing-value text. The front end
// creates one IgnoredRow per such row and owns it for the whole run; the
// engine works on a copy of the vector of pointers.
#ifndef TESSEL_FRONTEND_IGNORED_ROWS_H_
#define TESSEL_FRONTEND_IGNORED_ROWS_H_

#include <cstddef>
#include <cstdint>

#include "foundation/ov_string.h"
#include "foundation/ov_vector.h"

struct IgnoredRow {
  IgnoredRow(const char* rowText, int32_t rowPosition, int32_t inputRow)
      : text(rowText), position(rowPosition), rowNumber(inputRow) {}

  OvString text;      // printed in front of the missing-value marker; empty
  int32_t position;   // number of points that precede the row
  int32_t rowNumber;  // input row, the header row counted
};

using IgnoredRowList = OvVector<IgnoredRow*>;

// True when, walking from the front (or from list[from]), a row with
// position == index comes before any row with a greater position.
bool isIgnoredAt(const IgnoredRowList& list, int32_t index);
bool isIgnoredAt(const IgnoredRowList& list, size_t from, int32_t index);

#endif  // TESSEL_FRONTEND_IGNORED_ROWS_H_
