#include "frontend/ignored_rows.h"

bool isIgnoredAt(const IgnoredRowList& list, size_t from, int32_t index) {
  for (size_t k = from; k < list.size(); ++k) {
    const int32_t position = list.data()[k].position;
    if (position == index) return true;
    if (position > index) return false;
  }
  return false;
}
