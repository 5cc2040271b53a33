#include "frontend/line_reader.h"

#include <sys/types.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

LineReader::~LineReader() { std::free(buffer); }

bool LineReader::next(bool keepLineFeed) {
  if (readFailed) return false;
  errno = 0;
  ssize_t n = getline(&buffer, &capacity, stream);
  if (atStart) {
    atStart = false;
    static const char kMark[] = "\xEF\xBB\xBF";
    if (n >= 3 && std::memcmp(buffer, kMark, 3) == 0) {
      n -= 3;
      std::memmove(buffer, buffer + 3, static_cast<size_t>(n) + 1);
      // A stream of the mark alone holds no line.
      if (n == 0) {
        errno = 0;
        n = getline(&buffer, &capacity, stream);
      }
    }
  }
  if (n < 0) {
    // getline also gives up without the error indicator when it cannot
    // grow its buffer (ENOMEM): only the end of the stream is the end of
    // the lines.
    const bool streamError = std::ferror(stream) != 0;
    memoryRefused = !streamError && errno == ENOMEM;
    readFailed = streamError || std::feof(stream) == 0;
    lineLength = 0;
    return false;
  }
  size_t length = static_cast<size_t>(n);
  bool hadLineFeed = length > 0 && buffer[length - 1] == '\n';
  if (hadLineFeed) --length;
  const char* nul = static_cast<const char*>(std::memchr(buffer, '\0', length));
  if (nul != nullptr) {
    lineLength = static_cast<size_t>(nul - buffer);
    return true;
  }
  if (hadLineFeed && length > 0 && buffer[length - 1] == '\r') --length;
  if (hadLineFeed && keepLineFeed) buffer[length++] = '\n';
  buffer[length] = '\0';
  lineLength = length;
  return true;
}
