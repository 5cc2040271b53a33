#include "frontend/ignored_rows.h"

bool isIgnoredAt(IgnoredRowList list, int32_t index) {
  for (IgnoredRow* row : list) {
    if (row->position == index) return true;
    if (row->position > index) return false;
  }
  return false;
}
