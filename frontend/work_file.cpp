#include "frontend/work_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

const char kWorkFileName[] = "tessel_temp.txt";

namespace {

bool sameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool isWorkFile(const struct stat& input) {
  struct stat work;
  return stat(kWorkFileName, &work) == 0 && sameFile(input, work);
}

// Empties the open file and makes its reads and writes wait again; false,
// with nothing changed, when it is no regular file.
bool emptyRegularFile(int descriptor) {
  struct stat status;
  if (fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) return false;
  const int flags = fcntl(descriptor, F_GETFL);
  return flags >= 0 && fcntl(descriptor, F_SETFL, flags & ~O_NONBLOCK) == 0 &&
         ftruncate(descriptor, 0) == 0;
}

}  // namespace

WorkFile::~WorkFile() {
  if (fd >= 0) close(fd);
}

std::FILE* WorkFile::create() {
  // O_NONBLOCK: a FIFO in the file's place must not hold the run (and every
  // later run, waiting for its lock) at the open; O_NOCTTY: a terminal
  // there must not become the run's.
  const int opened =
      open(kWorkFileName, O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK | O_NOCTTY, 0666);
  if (opened < 0) return nullptr;
  std::FILE* file = nullptr;
  if (emptyRegularFile(opened)) {
    const int writing = fcntl(opened, F_DUPFD_CLOEXEC, 3);
    file = writing >= 0 ? fdopen(writing, "w") : nullptr;
    if (file == nullptr && writing >= 0) close(writing);
  }
  if (file == nullptr) {
    close(opened);
    return nullptr;
  }
  if (fd >= 0) close(fd);
  fd = opened;
  return file;
}

bool isWorkFile(int descriptor) {
  struct stat input;
  return fstat(descriptor, &input) == 0 && isWorkFile(input);
}

bool isWorkFile(const char* path) {
  struct stat input;
  return stat(path, &input) == 0 && isWorkFile(input);
}

namespace {

// Gathers the bytes of one line and hands them over in as few writes as
// possible; false once a write has failed.
class LineWriter {
 public:
  explicit LineWriter(std::FILE* file) : file(file) {}
  void put(const char* text) { put(text, std::strlen(text)); }
  void put(const char* text, size_t length) {
    if (used + length > sizeof line) {
      flush();
      if (length > sizeof line) {
        written = written && std::fwrite(text, 1, length, file) == length;
        return;
      }
    }
    std::memcpy(line + used, text, length);
    used += length;
  }
  bool flush() {
    written = written && std::fwrite(line, 1, used, file) == used;
    used = 0;
    return written;
  }

 private:
  std::FILE* file;
  char line[256];
  size_t used = 0;
  bool written = true;
};

}  // namespace

bool writeWorkRow(std::FILE* workFile, const char* x, const char* y, const char* rate,
                  const char* weight) {
  // The bytes of "%s,%s,%s,%s\n".
  LineWriter out(workFile);
  out.put(x);
  out.put(",", 1);
  out.put(y);
  out.put(",", 1);
  out.put(rate);
  out.put(",", 1);
  out.put(weight);
  out.put("\n", 1);
  return out.flush();
}
