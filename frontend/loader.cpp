// Loading: the work file's lines become the points' coordinates, rates and
// weights; both value arrays start as the rates. The lines the front end
// writes are parsed on every worker; any other file is read line by line.
// The work file is read by name, or through a descriptor the caller keeps.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <system_error>
#include <vector>

#include "frontend/line_reader.h"
#include "frontend/loader.h"

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

// Bytes per piece of the file that one worker parses at a time.
constexpr size_t kPieceBytes = size_t{1} << 18;

// The file's first N lines, read from a map of the whole file and parsed on
// every worker, piece by piece. Takes only the lines the line reader would
// hand to parsePlainLine unchanged (no NUL byte, no carriage return before
// the line feed) and that parsePlainLine accepts; returns false, having
// stored nothing that the line-by-line reading would not overwrite, when a
// line is missing or any line is of another kind.
bool loadMappedLines(std::FILE* file, int32_t N, tessel::Workspace& ws) {
  struct stat status;
  const int descriptor = fileno(file);
  if (descriptor < 0 || fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode) ||
      status.st_size <= 0) {
    return false;
  }
  const size_t size = static_cast<size_t>(status.st_size);
  if (size / kPieceBytes >= static_cast<size_t>(INT32_MAX)) return false;
  void* map = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, descriptor, 0);
  if (map == MAP_FAILED) return false;
  const char* text = static_cast<const char*>(map);
  // Piece p holds the lines that start in [start[p], start[p + 1]).
  const int32_t pieces = static_cast<int32_t>((size - 1) / kPieceBytes + 1);
  std::vector<size_t> start(static_cast<size_t>(pieces) + 1, size);
  std::vector<int64_t> firstLine(static_cast<size_t>(pieces) + 1, 0);
  start[0] = 0;
  for (int32_t p = 1; p < pieces; ++p) {
    const size_t from = static_cast<size_t>(p) * kPieceBytes - 1;
    const void* feed = std::memchr(text + from, '\n', size - from);
    start[static_cast<size_t>(p)] =
        feed == nullptr ? size : static_cast<size_t>(static_cast<const char*>(feed) - text) + 1;
  }
  ws.forEachChunk(pieces, 1, [&](int32_t begin, int32_t end) {
    for (int32_t p = begin; p < end; ++p) {
      const size_t from = start[static_cast<size_t>(p)];
      const size_t to = start[static_cast<size_t>(p) + 1];
      if (to < from) continue;
      int64_t lines = std::count(text + from, text + to, '\n');
      if (to == size && to > from && text[size - 1] != '\n') ++lines;
      firstLine[static_cast<size_t>(p) + 1] = lines;
    }
  });
  for (int32_t p = 0; p < pieces; ++p) {
    firstLine[static_cast<size_t>(p) + 1] += firstLine[static_cast<size_t>(p)];
  }
  const bool complete = firstLine[static_cast<size_t>(pieces)] >= N;
  std::atomic<bool> plain{true};
  if (complete) {
    ws.forEachChunk(pieces, 1, [&](int32_t begin, int32_t end) {
      for (int32_t p = begin; p < end && plain.load(std::memory_order_relaxed); ++p) {
        size_t at = start[static_cast<size_t>(p)];
        const size_t to = start[static_cast<size_t>(p) + 1];
        for (int64_t i = firstLine[static_cast<size_t>(p)]; at < to && i < N; ++i) {
          const char* feed = static_cast<const char*>(std::memchr(text + at, '\n', to - at));
          const size_t lineEnd = feed == nullptr ? to : static_cast<size_t>(feed - text) + 1;
          const size_t length = lineEnd - at;
          double values[4];
          if (std::memchr(text + at, '\0', length) != nullptr ||
              (feed != nullptr && feed > text + at && feed[-1] == '\r') ||
              !parsePlainLine(text + at, length, values)) {
            plain.store(false, std::memory_order_relaxed);
            break;
          }
          ws.loadPoint(static_cast<int32_t>(i), values[0], values[1], values[2], values[3]);
          at = lineEnd;
        }
      }
    });
  }
  munmap(map, size);
  return complete && plain.load();
}

}  // namespace

bool parsePointLine(const char* text, size_t length, double values[4]) {
  if (parsePlainLine(text, length, values)) return true;
  return std::sscanf(text, "%lf,%lf,%lf,%lf", &values[0], &values[1], &values[2], &values[3]) == 4;
}

namespace {

// Reads the points from `file` (null when it could not be opened), which it
// closes.
bool loadFrom(std::FILE* file, int32_t N, const char* workFileName, tessel::Workspace& ws,
              ConsoleProgress* progress) {
  if (file == nullptr) {
    if (progress != nullptr) progress->clear();
    std::printf("Error opening file %s.\n", workFileName);
    std::fflush(stdout);
    return false;
  }
  if (N > 0 && loadMappedLines(file, N, ws)) {
    std::fclose(file);
    return true;
  }
  LineReader lines(file);
  for (int32_t i = 0; i < N; ++i) {
    double values[4];
    if (!lines.next(true) || !parsePointLine(lines.text(), lines.length(), values)) {
      if (progress != nullptr) progress->clear();
      std::printf("Error reading file %s.\n", workFileName);
      std::fflush(stdout);
      std::fclose(file);
      return false;
    }
    ws.loadPoint(i, values[0], values[1], values[2], values[3]);
    if (progress != nullptr && i % 8192 == 0) progress->update("loading", double(i) / N);
  }
  std::fclose(file);
  return true;
}

}  // namespace

bool loadPoints(int32_t N, const char* workFileName, tessel::Workspace& ws,
                ConsoleProgress* progress) {
  if (progress != nullptr) progress->update("loading", -1.0);
  return loadFrom(std::fopen(workFileName, "r"), N, workFileName, ws, progress);
}

bool loadPoints(int32_t N, int workFile, const char* workFileName, tessel::Workspace& ws,
                ConsoleProgress* progress) {
  if (progress != nullptr) progress->update("loading", -1.0);
  // A stream of its own over the same file, read from the start.
  const int reading = fcntl(workFile, F_DUPFD_CLOEXEC, 3);
  std::FILE* file =
      reading >= 0 && lseek(reading, 0, SEEK_SET) == 0 ? fdopen(reading, "r") : nullptr;
  if (file == nullptr && reading >= 0) close(reading);
  return loadFrom(file, N, workFileName, ws, progress);
}
