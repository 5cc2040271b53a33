#include "frontend/work_file.h"

const char kWorkFileName[] = "tessel_temp.txt";

std::FILE* createWorkFile() { return std::fopen(kWorkFileName, "w"); }

bool writeWorkRow(std::FILE* workFile, const char* x, const char* y,
                  const char* rate, const char* weight) {
  return std::fprintf(workFile, "%s,%s,%s,%s\n", x, y, rate, weight) >= 0;
}
