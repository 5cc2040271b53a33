#include "frontend/work_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

const char kWorkFileName[] = "tessel_temp.txt";

namespace {

bool sameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool isWorkFile(const struct stat& input) {
  struct stat work;
  return stat(kWorkFileName, &work) == 0 && sameFile(input, work);
}

}  // namespace

std::FILE* createOutputFile(const char* name) {
  int fd = open(name, O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) return nullptr;
  std::FILE* file = fdopen(fd, "w");
  if (file == nullptr) close(fd);
  return file;
}

std::FILE* createWorkFile() { return createOutputFile(kWorkFileName); }

bool isWorkFile(int descriptor) {
  struct stat input;
  return fstat(descriptor, &input) == 0 && isWorkFile(input);
}

bool isWorkFile(const char* path) {
  struct stat input;
  return stat(path, &input) == 0 && isWorkFile(input);
}

bool writeWorkRow(std::FILE* workFile, const char* x, const char* y,
                  const char* rate, const char* weight) {
  return std::fprintf(workFile, "%s,%s,%s,%s\n", x, y, rate, weight) >= 0;
}
