// Loading: the work file's lines become the points' coordinates, rates and
// weights; both value arrays start as the rates.
#include <cstdio>

#include "engine/smooth_rates.h"
#include "engine/work_arrays.h"
#include "frontend/line_reader.h"

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
    double x, y, rate, weight;
    if (!lines.next(true) ||
        std::sscanf(lines.text(), "%lf,%lf,%lf,%lf", &x, &y, &rate, &weight) != 4) {
      std::printf("Error reading file %s.\n", workFileName);
      std::fflush(stdout);
      std::fclose(file);
      return false;
    }
    pointCoords[i]->x = x;
    pointCoords[i]->y = y;
    rates[i] = rate;
    weights[i] = weight;
    currentValues[i] = rates[i];
    nextValues[i] = rates[i];
  }
  std::fclose(file);
  return true;
}
