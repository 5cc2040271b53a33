// LineReader reads physical lines of any length from a stream it does not
// own. A carriage return right before the line feed is dropped, as text mode
// does; a NUL byte ends the line's text and drops the rest of the physical
// line, its line feed included. The reader owns its growing line buffer.
// A read that fails (the stream's error, or no room for the line) ends the
// lines for good, and failed() tells that from the end of the stream;
// outOfMemory() tells a refused buffer from a failed read. On request a
// UTF-8 byte-order mark at the very start of the stream is skipped.
#ifndef TESSEL_FRONTEND_LINE_READER_H_
#define TESSEL_FRONTEND_LINE_READER_H_

#include <cstddef>
#include <cstdio>

class LineReader {
 public:
  // skipByteOrderMark: the bytes EF BB BF, when they are the stream's first
  // three, are not part of the first line (anywhere else they are text).
  explicit LineReader(std::FILE* stream, bool skipByteOrderMark = false)
      : stream(stream), atStart(skipByteOrderMark) {}
  ~LineReader();
  LineReader(const LineReader&) = delete;
  LineReader& operator=(const LineReader&) = delete;

  // Reads the next line; false at the end of the stream or when the read
  // failed. The line feed, when the line had one, is kept if keepLineFeed is
  // set. The text stays valid until the next call.
  bool next(bool keepLineFeed);
  const char* text() const { return buffer; }
  size_t length() const { return lineLength; }
  // True once a read has failed before the end of the stream.
  bool failed() const { return readFailed; }
  // True when the read failed because the line buffer could not grow.
  bool outOfMemory() const { return memoryRefused; }

 private:
  std::FILE* stream;
  char* buffer = nullptr;
  size_t capacity = 0;
  size_t lineLength = 0;
  bool readFailed = false;
  bool memoryRefused = false;
  bool atStart;  // the byte-order mark may still come
};

#endif  // TESSEL_FRONTEND_LINE_READER_H_
