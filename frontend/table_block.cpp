#include "frontend/table_block.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "frontend/input_reader.h"
#include "frontend/loader.h"
#include "frontend/work_file.h"
#include "tessel/tessel.h"

namespace {

// The bytes of a stream written to memory, released with the stream's
// buffer when done. A caller that closes the stream itself says so.
struct MemoryStream {
  char* text = nullptr;
  size_t size = 0;
  std::FILE* stream = open_memstream(&text, &size);
  ~MemoryStream() {
    if (stream != nullptr) std::fclose(stream);
    std::free(text);
  }
  // Closes the stream; false when its last bytes could not be kept.
  bool close() {
    const bool closed = std::fclose(stream) == 0;
    stream = nullptr;
    return closed;
  }
};

// The good rows' work-file lines, converted as the loader converts them.
// The text (NUL-terminated at text[size]) is the caller's to spoil: each
// line's feed becomes its terminator, so that it is read where it lies.
bool convertRows(char* text, size_t size, TableBlock& block) {
  const size_t rows = static_cast<size_t>(std::count(text, text + size, '\n')) +
                      (size > 0 && text[size - 1] != '\n');
  for (std::vector<double>* column : {&block.x, &block.y, &block.rate, &block.weight}) {
    column->reserve(rows);
    tessel::adviseHugePages(column->data(), rows * sizeof(double));
  }
  for (size_t at = 0; at < size;) {
    char* feed = static_cast<char*>(std::memchr(text + at, '\n', size - at));
    const size_t end = feed == nullptr ? size : static_cast<size_t>(feed - text);
    if (feed != nullptr) *feed = '\0';
    double values[4];
    if (!parsePointLine(text + at, end - at, values)) return false;
    block.x.push_back(values[0]);
    block.y.push_back(values[1]);
    block.rate.push_back(values[2]);
    block.weight.push_back(values[3]);
    at = end + 1;
  }
  return true;
}

// The block of a reading whose work lines are text[0..size), NUL-terminated
// (convertRows spoils them).
void settle(const RunState& state, char* text, size_t size, int32_t rowsBefore, TableBlock& block) {
  block.summary = summarizeReading(state);
  block.summary.rows = state.rowNumber - rowsBefore;
  for (const IgnoredRow& row : state.ignoredRows) block.ignored.push_back(row.position);
  if (!block.stopped() && !convertRows(text, size, block)) {
    block.loadReport = std::string("Error reading file ") + kWorkFileName + ".\n";
  }
}

struct FreeBytes {
  void operator()(char* bytes) const { std::free(bytes); }
};

TableBlock outOfMemory() {
  TableBlock block;
  block.summary.proceed = false;
  block.summary.readFailed = block.summary.readOutOfMemory = true;
  return block;
}

// Reads the block's bytes as rows into `state`, their work lines to
// `work`; false when no stream over the bytes could be opened. A memory
// stream cannot be opened on no bytes; an empty file stands in (the
// opening of an empty input still counts its -r header row).
bool readRows(const char* bytes, size_t size, const RunSettings& settings, bool startOfInput,
              RunState& state, std::FILE* work) {
  std::FILE* input =
      size == 0 ? std::fopen("/dev/null", "r") : fmemopen(const_cast<char*>(bytes), size, "r");
  if (input == nullptr) return false;
  readFileRows(settings, state, input, work, startOfInput);
  std::fclose(input);
  return true;
}

// The block read with its work lines written into `room` bytes made ready
// for them; false, with `block` untouched, when they did not fit or the
// room could not be had. A growing memory stream copies its text into
// fresh memory each time it doubles, which cost the cluster's block reader
// most of its page faults. A row's work line is its four fields, each a
// piece of the row, joined by commas and ended by a line feed, so it never
// takes more bytes than the row and a line feed: the block's bytes and two
// more (the feed of a last line without one, and the terminator) hold
// them all.
bool readInPlace(const char* bytes, size_t size, const RunSettings& settings, bool startOfInput,
                 int32_t rowsBefore, TableBlock& block) {
  const size_t room = size + 2;
  std::unique_ptr<char, FreeBytes> text(static_cast<char*>(std::malloc(room)));
  if (text == nullptr) return false;
  tessel::adviseHugePages(text.get(), room);
  std::FILE* work = fmemopen(text.get(), room, "w");
  if (work == nullptr) return false;
  RunState state;
  state.rowNumber = rowsBefore;
  if (!readRows(bytes, size, settings, startOfInput, state, work)) {
    std::fclose(work);
    return false;
  }
  const bool flushed = std::fflush(work) == 0;
  const off_t written = ftello(work);
  const bool closed = std::fclose(work) == 0;
  if (state.workFileFailed || !flushed || !closed || written < 0 ||
      static_cast<size_t>(written) >= room) {
    return false;
  }
  text.get()[written] = '\0';
  settle(state, text.get(), static_cast<size_t>(written), rowsBefore, block);
  return true;
}

}  // namespace

TableBlock readTableBlock(const char* bytes, size_t size, const RunSettings& settings,
                          bool startOfInput, int32_t rowsBefore) {
  TableBlock block;
  if (readInPlace(bytes, size, settings, startOfInput, rowsBefore, block)) return block;
  // Through a growing memory stream, which holds whatever the rows write.
  RunState state;
  state.rowNumber = rowsBefore;
  MemoryStream work;
  if (work.stream == nullptr ||
      !readRows(bytes, size, settings, startOfInput, state, work.stream)) {
    return outOfMemory();
  }
  if (!work.close()) state.workFileFailed = true;
  settle(state, work.text, work.size, rowsBefore, block);
  return block;
}

TableBlock readTableRange(const char* path, off_t offset, off_t length, const RunSettings& settings,
                          int32_t rowsBefore) {
  TableBlock failed;
  failed.summary.proceed = false;
  std::FILE* file = std::fopen(path, "r");
  if (file == nullptr) {
    failed.summary.openFailed = true;
    return failed;
  }
  // The piece's bytes, read straight into memory that nothing clears first.
  std::unique_ptr<char, FreeBytes> bytes;
  size_t size = 0;
  bool read = true;
  off_t at = offset;
  if (offset > 0) {
    // The range's first line begins after a line feed at offset - 1 or later.
    read = fseeko(file, offset - 1, SEEK_SET) == 0;
    int c;
    while (read && (c = std::getc(file)) != EOF) {
      ++at;
      if (c == '\n') break;
    }
    at -= 1;
  }
  if (read && at < offset + length) {
    const size_t wanted = static_cast<size_t>(offset + length - at);
    bytes.reset(static_cast<char*>(std::malloc(wanted)));
    if (bytes == nullptr) {
      std::fclose(file);
      return outOfMemory();
    }
    tessel::adviseHugePages(bytes.get(), wanted);
    size = std::fread(bytes.get(), 1, wanted, file);
    // The last line runs on to its line feed.
    std::string rest;
    int c;
    if (size == wanted && bytes.get()[size - 1] != '\n') {
      while ((c = std::getc(file)) != EOF) {
        rest.push_back(static_cast<char>(c));
        if (c == '\n') break;
      }
    }
    if (!rest.empty()) {
      char* grown = static_cast<char*>(std::realloc(bytes.get(), size + rest.size()));
      if (grown == nullptr) {
        std::fclose(file);
        return outOfMemory();
      }
      bytes.release();
      bytes.reset(grown);
      std::memcpy(grown + size, rest.data(), rest.size());
      size += rest.size();
    }
  }
  read = read && !std::ferror(file);
  std::fclose(file);
  if (!read) {
    failed.summary.readFailed = true;
    return failed;
  }
  return readTableBlock(bytes.get(), size, settings, offset == 0, rowsBefore);
}

TableBlock readWholeInput(const RunSettings& settings) {
  RunState state;
  MemoryStream work;
  if (work.stream == nullptr) return outOfMemory();
  // The reader closes the work stream.
  readInputTable(settings, state, work.stream);
  work.stream = nullptr;
  TableBlock block;
  settle(state, work.text, work.size, 0, block);
  return block;
}
