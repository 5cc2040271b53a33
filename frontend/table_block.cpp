#include "frontend/table_block.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "frontend/input_reader.h"
#include "frontend/loader.h"

namespace {

// The bytes of a stream written to memory, released with the stream's
// buffer when done.
struct MemoryStream {
  char* text = nullptr;
  size_t size = 0;
  std::FILE* stream = open_memstream(&text, &size);
  ~MemoryStream() {
    if (stream != nullptr) std::fclose(stream);
    std::free(text);
  }
};

// The good rows' work-file lines, converted as the loader converts them.
bool convertRows(const char* text, size_t size, TableBlock& block) {
  std::string line;
  for (size_t at = 0; at < size;) {
    const char* feed = static_cast<const char*>(std::memchr(text + at, '\n', size - at));
    const size_t end = feed == nullptr ? size : static_cast<size_t>(feed - text) + 1;
    line.assign(text + at, end - at);
    double values[4];
    if (!parsePointLine(line.c_str(), line.size(), values)) return false;
    block.x.push_back(values[0]);
    block.y.push_back(values[1]);
    block.rate.push_back(values[2]);
    block.weight.push_back(values[3]);
    at = end;
  }
  return true;
}

}  // namespace

TableBlock readTableBlock(const char* bytes, size_t size, const RunSettings& settings,
                          bool startOfInput, int32_t rowsBefore) {
  TableBlock block;
  RunState state;
  state.rowNumber = rowsBefore;
  MemoryStream work;
  // A piece of no bytes holds no line (and a stream cannot be opened on it).
  std::FILE* input = size == 0 ? nullptr : fmemopen(const_cast<char*>(bytes), size, "r");
  if (work.stream == nullptr || (size != 0 && input == nullptr)) {
    block.stopped = true;
    block.message = "ERROR : Out of memory\n";
    if (input != nullptr) std::fclose(input);
    return block;
  }
  if (input != nullptr) {
    readFileRows(settings, state, input, work.stream, startOfInput);
    std::fclose(input);
  }
  block.rows = state.rowNumber - rowsBefore;
  if (std::fflush(work.stream) != 0) state.workFileFailed = true;
  for (const IgnoredRow& row : state.ignoredRows) block.ignored.push_back(row.position);
  if (state.readFailed || state.workFileFailed) {
    block.stopped = true;
    block.message = "ERROR : Out of memory\n";
  } else if (!state.proceed) {
    block.stopped = true;
    block.message =
        std::string(state.errorTitle.GetCString()) + " : " + state.errorDetail.GetCString();
  } else if (!convertRows(work.text, work.size, block)) {
    block.stopped = true;
    block.message = "Error reading file tessel_temp.txt.\n";
  }
  return block;
}
