// Rows set aside because a field held the missing-value text. The front end
// appends one IgnoredRow per such row to its list, which holds the records
// by value; the result writer reads the list and never changes it.
#ifndef TESSEL_FRONTEND_IGNORED_ROWS_H_
#define TESSEL_FRONTEND_IGNORED_ROWS_H_

#include <cstddef>
#include <cstdint>

#include "foundation/ov_vector.h"

struct IgnoredRow {
  int32_t position;  // number of points that precede the row
};

using IgnoredRowList = OvVector<IgnoredRow>;

// True when, walking from list[from], a row with position == index comes
// before any row with a greater position.
bool isIgnoredAt(const IgnoredRowList& list, size_t from, int32_t index);

#endif  // TESSEL_FRONTEND_IGNORED_ROWS_H_
