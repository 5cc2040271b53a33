// The result writer: the optional "Smoothed Rate" header, then one line per
// input data row in input order, a value per point and a placeholder line
// (row text and missing-value marker) per ignored row at its position.
#include <cstdio>

#include "engine/smooth_rates.h"
#include "engine/work_arrays.h"

namespace {

void writeLine(std::FILE* log, const char* format, double value) {
  std::printf(format, value);
  if (log != nullptr) std::fprintf(log, format, value);
}

// Writes the front row of the list as its placeholder line and removes it.
void writeIgnoredRow(IgnoredRowList& list, const char* missingText, std::FILE* log) {
  const char* text = list[0]->text.GetCString();
  std::printf("%s%s\n", text, missingText);
  if (log != nullptr) std::fprintf(log, "%s%s\n", text, missingText);
  list.RemoveAt(0);
}

}  // namespace

void writeResults(int32_t N, const char* missingText, IgnoredRowList ignoredRows,
                  const char* headerMark, std::FILE* log) {
  if (headerMark[0] != '\0') {
    std::fputs("Smoothed Rate\n", stdout);
    if (log != nullptr) std::fputs("Smoothed Rate\n", log);
  }
  for (int32_t i = 0; i < N; ++i) {
    while (isIgnoredAt(ignoredRows, i)) writeIgnoredRow(ignoredRows, missingText, log);
    writeLine(log, "%lf\n", currentValues[i]);
  }
  while (!ignoredRows.empty()) writeIgnoredRow(ignoredRows, missingText, log);
}
