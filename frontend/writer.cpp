// The result writer: the optional "Smoothed Rate" header, then one line per
// input data row in input order, a value per point and a placeholder line
// (the missing-value marker) per ignored row at its position: the same bytes
// to standard output and to the log, gathered into pieces of the table that
// go to both streams whole (two calls a piece instead of two a line). The
// writes to standard output are checked; the log's are left to its owner,
// who checks the stream.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "frontend/value_format.h"
#include "frontend/writer.h"

const char kResultHeader[] = "Smoothed Rate\n";

namespace {

// Bytes of the table gathered before they go to the streams.
constexpr size_t kPieceBytes = size_t{1} << 16;

class TableOutput {
 public:
  explicit TableOutput(std::FILE* log) : log(log) {}

  void append(const char* text) { append(text, std::strlen(text)); }
  void append(const char* text, size_t length) {
    if (length > kPieceBytes - used) {
      send();
      if (length > kPieceBytes) return write(text, length);
    }
    std::memcpy(piece + used, text, length);
    used += length;
  }
  // Room for a line of at most `most` bytes at the end of the piece.
  char* room(size_t most) {
    if (most > kPieceBytes - used) send();
    return piece + used;
  }
  void appended(size_t length) { used += length; }
  // Sends the rest and flushes standard output; 0 when it took the whole
  // table, else the errno of its first failed write.
  int finish() {
    send();
    errno = 0;
    if (std::fflush(stdout) != 0) noteFailure();
    // An earlier unchecked write to standard output (a report of the run's)
    // failed: the table
    // is incomplete, and the cause is no longer known.
    if (outputError == 0 && std::ferror(stdout)) outputError = EIO;
    return outputError;
  }

 private:
  void send() {
    write(piece, used);
    used = 0;
  }
  void write(const char* text, size_t length) {
    errno = 0;
    if (std::fwrite(text, 1, length, stdout) != length) noteFailure();
    if (log != nullptr) std::fwrite(text, 1, length, log);
  }
  void noteFailure() {
    if (outputError == 0) outputError = errno != 0 ? errno : EIO;
  }

  std::FILE* log;
  int outputError = 0;
  size_t used = 0;
  char piece[kPieceBytes];
};

}  // namespace

int writeResults(int32_t N, const char* missingText, const IgnoredRowList& ignoredRows,
                 const char* headerMark, std::FILE* log, const double* values) {
  TableOutput out(log);
  if (headerMark[0] != '\0') out.append(kResultHeader);
  // Ignored rows are written front to back; `next` is the first not written.
  size_t next = 0;
  auto writeIgnoredRow = [&] {
    out.append(missingText);
    out.append("\n", 1);
    ++next;
  };
  for (int32_t i = 0; i < N; ++i) {
    while (isIgnoredAt(ignoredRows, next, i)) writeIgnoredRow();
    char* line = out.room(kValueTextSize + 1);
    const size_t length = formatValue(values[i], line);
    line[length] = '\n';
    out.appended(length + 1);
  }
  while (next < ignoredRows.size()) writeIgnoredRow();
  return out.finish();
}
