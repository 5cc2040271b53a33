// Replays the fuzz cases without a fuzzer: every regression case (an input
// that once found a fault) and every seed of fuzz/, through the same case
// decoders and checks as the libFuzzer targets. Tokenizer and reader cases
// run in-process; program cases run the built binary in a fresh directory.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "e2e/run_binary.h"
#include "fuzz/program_case.h"
#include "fuzz/reader_case.h"
#include "fuzz/tokenizer_case.h"

namespace {

namespace fs = std::filesystem;

// A program case through the built binary; its check's complaint, or "".
std::string runProgramCase(const uint8_t* data, size_t size) {
  if (size > program_case::kMaxCaseSize) return "case too large";
  const program_case::ProgramCase c = program_case::decodeProgramCase(data, size);
  RunSetup setup = stdinRun(c.args, c.input).file(program_case::kInputName, c.input);
  if (c.source == program_case::Source::kWorkFile) setup.file(program_case::kWorkName, c.input);
  const RunResult r = runTessel(setup);
  const std::string complaint = program_case::checkProgramResult(c, r.status, r.out);
  return complaint.empty() ? "" : complaint + "\nstandard error:\n" + r.err;
}

// Each target's case files.
TEST(FuzzRegressions, EveryCaseOfEveryTarget) {
  TempDir dir;
  const std::pair<const char*, std::function<std::string(const uint8_t*, size_t)>> targets[] = {
      {"tokenizer", tokenizer_case::runTokenizerCase},
      {"reader",
       [&](const uint8_t* d, size_t n) { return reader_case::runReaderCase(d, n, dir.path()); }},
      {"program", runProgramCase},
  };
  for (const auto& target : targets) {
    std::vector<fs::path> files;
    for (const char* kind : {"regressions", "corpus"}) {
      std::error_code none;  // a target need not have cases of both kinds
      for (const auto& entry :
           fs::directory_iterator(fs::path(TESSEL_SOURCE_DIR) / "fuzz" / kind / target.first, none))
        files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    EXPECT_FALSE(files.empty()) << target.first;
    for (const fs::path& file : files) {
      const std::string bytes = readFileBytes(file.string());
      EXPECT_EQ(target.second(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), "")
          << file;
    }
  }
}

}  // namespace
