// Loading: the work file's lines become the points' coordinates, rates and
// weights; both value arrays start as the rates.
#include <charconv>
#include <cstdio>
#include <system_error>

#include "engine/smooth_rates.h"
#include "engine/work_arrays.h"
#include "frontend/line_reader.h"

namespace {

// Reads a line "x,y,rate,weight" the way sscanf("%lf,%lf,%lf,%lf") does, for
// the lines the front end writes: four numbers, each ended by a comma, the
// last by the line's end. Both round each number correctly, so they agree;
// any other line (blanks, other forms, a number out of range) returns false
// and is left to sscanf itself.
bool parsePlainLine(const char* text, size_t length, double values[4]) {
  const char* p = text;
  const char* end = text + length;
  for (int k = 0; k < 4; ++k) {
    const std::from_chars_result r = std::from_chars(p, end, values[k]);
    if (r.ec != std::errc() || r.ptr == p) return false;
    p = r.ptr;
    if (k < 3) {
      if (p == end || *p != ',') return false;
      ++p;
    } else if (p != end && *p != '\n') {
      return false;
    }
  }
  return true;
}

bool parseLine(const LineReader& lines, double values[4]) {
  if (parsePlainLine(lines.text(), lines.length(), values)) return true;
  return std::sscanf(lines.text(), "%lf,%lf,%lf,%lf", &values[0], &values[1],
                     &values[2], &values[3]) == 4;
}

}  // namespace

bool loadPoints(int32_t N, int32_t /*NN*/, int32_t /*NTRIP*/, int32_t /*NITER*/,
                const char* workFileName) {
  std::FILE* file = std::fopen(workFileName, "r");
  if (file == nullptr) {
    std::printf("Error opening file %s.\n", workFileName);
    std::fflush(stdout);
    return false;
  }
  LineReader lines(file);
  for (int32_t i = 0; i < N; ++i) {
    double values[4];
    if (!lines.next(true) || !parseLine(lines, values)) {
      std::printf("Error reading file %s.\n", workFileName);
      std::fflush(stdout);
      std::fclose(file);
      return false;
    }
    pointCoords[i]->x = values[0];
    pointCoords[i]->y = values[1];
    rates[i] = values[2];
    weights[i] = values[3];
    currentValues[i] = rates[i];
    nextValues[i] = rates[i];
  }
  std::fclose(file);
  return true;
}
