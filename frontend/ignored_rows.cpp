#include "frontend/ignored_rows.h"

bool isIgnoredAt(const IgnoredRowList& list, int32_t index) { return isIgnoredAt(list, 0, index); }

bool isIgnoredAt(const IgnoredRowList& list, size_t from, int32_t index) {
  for (size_t k = from; k < list.size(); ++k) {
    const IgnoredRow* row = list.data()[k];
    if (row->position == index) return true;
    if (row->position > index) return false;
  }
  return false;
}
